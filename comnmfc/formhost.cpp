#include "comnmfc/formhost.h"

#include <QBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <numeric>

#include "platform/cdialog.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"

void PlaceForm(CDialog& dialog, QWidget* form) {
  QDialog* widget = dialog.GetDialog();
  auto* box = qobject_cast<QBoxLayout*>(widget->layout());
  if (box == nullptr) box = new QVBoxLayout(widget);
  // Whatever the dialog laid out before (empty rows, a stretch) gives way
  // to the form.
  for (int i = 0; i < box->count(); ++i) box->setStretch(i, 0);
  box->setContentsMargins(0, 0, 0, 0);
  box->addWidget(form, 1);
}

void PlaceTitledForm(CDialog& dialog, QWidget* form, unsigned titleId) {
  PlaceForm(dialog, form);
  dialog.RegisterControlsByName();
  dialog.GetDialog()->setWindowTitle(ToQString(LoadStringById(titleId)));
}

void FillSortedList(QListWidget* list, const std::vector<QString>& texts) {
  std::vector<int> order(texts.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&texts](int a, int b) {
    const int folded = QString::compare(texts[a], texts[b], Qt::CaseInsensitive);
    if (folded != 0) return folded < 0;
    return QString::compare(texts[a], texts[b], Qt::CaseSensitive) < 0;
  });
  list->clear();
  for (const int index : order) {
    auto* item = new QListWidgetItem(texts[index], list);
    item->setData(Qt::UserRole, index);
  }
}

int ListIndex(const QListWidget* list) {
  const QListWidgetItem* item = list->currentItem();
  if (item == nullptr || !item->isSelected()) return -1;
  return item->data(Qt::UserRole).toInt();
}

bool SelectListIndex(QListWidget* list, int index) {
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    if (item->data(Qt::UserRole).toInt() != index) continue;
    list->setCurrentItem(item);
    list->scrollToItem(item);
    return true;
  }
  return false;
}

int CListChoiceDialog::DoModal() {
  m_nChoice = -1;
  const int result = CDialog::DoModal();
  if (result != IDOK) m_nChoice = -1;
  return result == IDOK ? IDOK : IDCANCEL;
}

void CListChoiceDialog::BindList(QListWidget* list, QPushButton* ok, const std::vector<QString>& texts) {
  m_pList = list;
  m_pOk = ok;
  FillSortedList(list, texts);
  QObject::connect(list, &QListWidget::itemSelectionChanged, list,
                   [this] { m_pOk->setEnabled(ListIndex(m_pList) >= 0); });
  QObject::connect(list, &QListWidget::itemDoubleClicked, list, [this] { OnOK(); });
}

void CListChoiceDialog::StartList(int preselect) {
  m_pList->clearSelection();
  m_pList->setCurrentItem(nullptr);
  if (preselect < 0 || !SelectListIndex(m_pList, preselect)) {
    if (m_pList->count() > 0) m_pList->setCurrentRow(0);
  }
  m_pOk->setEnabled(ListIndex(m_pList) >= 0);
  m_pList->setFocus(Qt::OtherFocusReason);
}

void CListChoiceDialog::OnOK() {
  const int index = ListIndex(m_pList);
  if (index < 0) return;  // nothing chosen: the dialog stays open
  m_nChoice = index;
  EndDialog(IDOK);
}
