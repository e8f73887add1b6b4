// What the shared dialogs have in common: placing a Designer form in a
// CDialog and filling a sorted list whose rows remember the caller's entries.
#pragma once

#include <QString>
#include <vector>

class CDialog;
class QListWidget;
class QWidget;

// Puts form into the dialog's layout so that it takes all the room.
void PlaceForm(CDialog& dialog, QWidget* form);

// Fills the list with the texts sorted without regard to case (exact order
// breaks ties, so the order never depends on the input order).  Each row
// keeps the index of its text, which ListIndex gives back.
void FillSortedList(QListWidget* list, const std::vector<QString>& texts);

// The index of the text shown in the current row, or -1 for none.
int ListIndex(const QListWidget* list);

// Makes the row showing texts[index] current; false when no row does.
bool SelectListIndex(QListWidget* list, int index);
