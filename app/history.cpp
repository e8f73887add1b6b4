#include "app/history.h"

#include <QDateTime>
#include <QPushButton>
#include <QTreeWidget>

#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/tempset.h"
#include "common/multises.h"
#include "dialogs/errorbox.h"
#include "platform/qtconvert.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "ui_dlg_20600.h"

CRevisionHistoryBox::CRevisionHistoryBox(CWnd* parent) : CDialog(IDD, parent) {}

CString CRevisionHistoryBox::TimeText(int64_t unixMs) {
  if (unixMs <= 0) return LoadStringById(IDS_TIME_UNKNOWN);
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(unixMs).toLocalTime();
  return FromQString(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void CRevisionHistoryBox::BuildDialog() {
  Ui::Dlg20600 ui;
  ui.setupUi(GetDialog());
  RegisterControlsByName();
  // A double-click opens the revision, as the Open button does.
  QObject::connect(ui.list_20601, &QTreeWidget::itemDoubleClicked, GetDialog(),
                   [this](QTreeWidgetItem*, int) { OnOK(); });
  QObject::connect(ui.button_20602, &QPushButton::clicked, GetDialog(), [this] { OnCompare(); });
}

BOOL CRevisionHistoryBox::OnInitDialog() {
  CDialog::OnInitDialog();
  auto* list = qobject_cast<QTreeWidget*>(GetControl(IDC_REVISIONS));
  if (list == nullptr) return TRUE;
  list->clear();
  for (const CT_RevisionInfo& info : m_revisions) {
    auto* item = new QTreeWidgetItem(list);
    item->setText(kColumnRevision, QString::number(info.revision));
    item->setText(kColumnTime, ToQString(TimeText(info.timeUnixMs)));
    item->setText(kColumnState, info.current ? QStringLiteral("current") : QString());
  }
  for (int column = kColumnRevision; column <= kColumnState; ++column) list->resizeColumnToContents(column);
  // The newest is chosen to begin with.
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
  list->setFocus();
  return TRUE;
}

void CRevisionHistoryBox::OnOK() {
  auto* list = qobject_cast<QTreeWidget*>(GetControl(IDC_REVISIONS));
  const int row = list != nullptr && list->currentItem() != nullptr ? list->indexOfTopLevelItem(list->currentItem()) : -1;
  // Nothing chosen: the dialog stays open.
  if (row < 0 || row >= static_cast<int>(m_revisions.size())) return;
  m_nChoice = row;
  CDialog::OnOK();
}

void CRevisionHistoryBox::OnCompare() {
  m_bCompare = true;
  OnOK();
  // Nothing chosen: the dialog stays open, and Open still opens.
  if (m_nChoice < 0) m_bCompare = false;
}

void CQueltDoc::OnUpdateRevisionHistory(CCmdUI* ui) { ui->Enable(m_bOnServer && GetView() != nullptr); }

void CQueltDoc::OnRevisionHistory() {
  ResolveStoreInDoubt();
  CQueltView* view = GetView();
  if (!m_bOnServer || view == nullptr || view->GetSession() == nullptr) return;
  MultiAdminSession* session = view->GetSession();
  CRevisionHistoryBox box(view);
  {
    CWaitCursor wait;
    const int32_t listed = session->ListRevisions(QV_String(m_strServer.GetString()), QV_String(m_strName.GetString()),
                                                  QV_String(m_strClass.GetString()), &box.m_revisions);
    if (!listed || box.m_revisions.empty()) {
      wait.Release();
      if (!listed && session->Cancelled()) return;
      CErrorBox(listed ? static_cast<UINT>(IDS_ADM_HISTORY_FAILED) : session->LastError(), view).DoModal();
      return;
    }
  }
  const bool chosen = box.DoModal() == IDOK && box.m_nChoice >= 0;
  // Undo takes the view back to what it showed, unsaved changes included.
  if (chosen && box.m_bCompare)
    CompareWithRevision(box.m_revisions[static_cast<size_t>(box.m_nChoice)].revision);
  else if (chosen)
    OpenRevision(box.m_revisions[static_cast<size_t>(box.m_nChoice)].revision);
  // The keys go on moving through the tree, whatever had the focus before.
  view->SetFocus();
}

BOOL CQueltDoc::LoadRevision(uint64_t revision, CTempSet& set) {
  CQueltView* view = GetView();
  if (view == nullptr || view->GetSession() == nullptr) return FALSE;
  CWaitCursor wait;
  if (!set.Ok()) {
    wait.Release();
    CErrorBox(IDS_NO_MEMORY, view).DoModal();
    return FALSE;
  }
  MultiAdminSession* session = view->GetSession();
  if (!session->GetRevision(QV_String(m_strServer.GetString()), QV_String(m_strName.GetString()),
                            QV_String(m_strClass.GetString()), revision, set.Get())) {
    wait.Release();
    if (!session->Cancelled()) CErrorBox(session->LastError(), view).DoModal();
    return FALSE;
  }
  return TRUE;
}

BOOL CQueltDoc::OpenRevision(uint64_t revision) {
  CQueltView* view = GetView();
  CTempSet set;
  if (!LoadRevision(revision, set)) return FALSE;
  // The content replaces the tree as one undoable change, keeping the
  // identity; the view reports its own failure and keeps its tree.
  if (!view->OpenRevisionContent(set.Get())) return FALSE;
  view->DocumentModified();
  view->OnInitialUpdate();
  return TRUE;
}
