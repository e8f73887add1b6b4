#include "app/storeconflict.h"

#include <QLabel>

#include "app/history.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "resources/stringids.h"
#include "ui_dlg_20610.h"

namespace {

void SetLabel(QWidget* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
}
}  // namespace

CStoreConflictBox::CStoreConflictBox(CWnd* parent) : CDialog(IDD, parent) {}

void CStoreConflictBox::BuildDialog() {
  BuildForm<Ui::Dlg20610>();
  MapCommand(IDC_MERGE, [this] { EndDialog(kMerge); });
  MapCommand(IDC_OVERWRITE, [this] { EndDialog(kOverwrite); });
}

BOOL CStoreConflictBox::OnInitDialog() {
  CDialog::OnInitDialog();
  CString when;
  when.Format(LoadStringById(IDS_STORED_BY_ANOTHER).GetString(),
              CRevisionHistoryBox::TimeText(m_nTheirTimeMs).GetString());
  SetLabel(GetControl(IDC_WHEN), ToQString(when));
  SetLabel(GetControl(IDC_MINE), QStringLiteral("Your changes: %1").arg(m_nMine));
  SetLabel(GetControl(IDC_THEIRS), QStringLiteral("Changes on the server: %1").arg(m_nTheirs));
  SetLabel(GetControl(IDC_BOTH), QStringLiteral("Both changed: %1").arg(m_nBoth));
  // Merging loses nothing; with places both changed the user looks first,
  // so Enter then does nothing it cannot take back.
  const int first = m_nBoth == 0 ? IDC_MERGE : static_cast<int>(IDCANCEL);
  SetDefaultButton(first);
  if (QWidget* button = GetControl(first)) button->setFocus();
  return TRUE;
}
