// What the shared dialogs have in common: placing a Designer form in a
// CDialog, filling a sorted list whose rows remember the caller's entries,
// and the dialog that chooses one entry of such a list.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "platform/cdialog.h"

class QListWidget;
class QPushButton;

// Puts form into the dialog's layout so that it takes all the room.
void PlaceForm(CDialog& dialog, QWidget* form);

// Places form (already set up) in the dialog, registers its controls and
// titles the dialog with the string titleId.
void PlaceTitledForm(CDialog& dialog, QWidget* form, unsigned titleId);

// What a shared dialog's BuildDialog starts with: the Designer form ui set
// up on a widget of its own, placed and registered, and the dialog titled.
template <typename Form>
void SetUpTitledForm(CDialog& dialog, Form& ui, unsigned titleId) {
  auto* form = new QWidget;
  ui.setupUi(form);
  PlaceTitledForm(dialog, form, titleId);
}

// Fills the list with the texts sorted without regard to case (exact order
// breaks ties, so the order never depends on the input order).  Each row
// keeps the index of its text, which ListIndex gives back.
void FillSortedList(QListWidget* list, const std::vector<QString>& texts);

// The index of the text shown in the current row, or -1 for none.
int ListIndex(const QListWidget* list);

// Makes the row showing texts[index] current; false when no row does.
bool SelectListIndex(QListWidget* list, int index);

// A dialog that chooses one entry of a sorted list: OK is enabled exactly
// while a row is chosen, a double-click confirms, and the choice is the
// index of the caller's entry, or -1 after a cancel.
class CListChoiceDialog : public CDialog {
 public:
  using CDialog::CDialog;

  int DoModal() override;

 protected:
  // Fills the list with the texts and connects it to the OK button; called
  // from BuildDialog once the form is set up.
  void BindList(QListWidget* list, QPushButton* ok, const std::vector<QString>& texts);
  // Makes the caller's entry `preselect` the current row, or the first row
  // when it is -1 or not shown, and gives the list the focus.
  void StartList(int preselect);
  // Takes the chosen row; with none the dialog stays open.
  void OnOK() override;

  int m_nChoice = -1;

 private:
  QListWidget* m_pList = nullptr;
  QPushButton* m_pOk = nullptr;
};
