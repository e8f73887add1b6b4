#include "app/queltdoc.h"

#include <cstdio>

#include "app/history.h"
#include "app/misc.h"
#include "app/proffile.h"
#include "app/quelt.h"
#include "app/queltview.h"
#include "app/storeas3.h"
#include "app/tempset.h"
#include "comnmfc/getservb.h"
#include "comnmfc/notsaved.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/stringtable.h"
#include "platform/textbytes.h"
#include "platform/waitcursor.h"
#include "s100/ctcontainers.h"

namespace {
constexpr UINT IDS_TITLE = 16384;
constexpr UINT IDS_TITLE_MODIFIED = 16385;
constexpr UINT IDS_DEFAULT_SERVER = 16386;
constexpr UINT IDS_SELECT_SYMBOL_SERVER = 4115;
constexpr UINT IDS_NAME_NEEDED = 4125;
constexpr UINT IDS_SERVER_NEEDED = 4127;
constexpr UINT IDS_CLASS_NEEDED = 4129;

MultiAdminSession* Session() {
  CQueltApp* app = TheQueltApp();
  return app != nullptr ? &app->m_session : CQueltView::AppSession();
}
}  // namespace

CQueltDoc::CQueltDoc() {
  AddCommand(ID_FILE_SAVE, [this] { OnFileSave(); });
  AddCommand(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
  AddCommand(ID_PROFILE_IMPORT, [this] { OnImportFromFile(); });
  AddCommand(ID_PROFILE_EXPORT, [this] { OnExportToFile(); });
  AddCommand(ID_PROFILE_HISTORY, [this] { OnRevisionHistory(); });
  AddCommandUpdate(ID_PROFILE_HISTORY, [this](CCmdUI* ui) { OnUpdateRevisionHistory(ui); });
}

CQueltDoc::~CQueltDoc() = default;

CQueltView* CQueltDoc::GetView() const {
  POSITION pos = GetFirstViewPosition();
  return pos != nullptr ? dynamic_cast<CQueltView*>(GetNextView(pos)) : nullptr;
}

void CQueltDoc::UpdateTitle() {
  const CString format = LoadStringById(IsModified() ? IDS_TITLE_MODIFIED : IDS_TITLE);
  // The title is cut to its buffer, never overrun.
  constexpr int kTitleBuffer = 1024;
  // Each name is shown as its own bytes decode, so a Latin-1 name beside a
  // UTF-8 class shows right; a long title is cut between characters.
  CString title;
  title.Format(format.GetString(), ShownAsUtf8(m_strName).GetString(), ShownAsUtf8(m_strClass).GetString(),
               ShownAsUtf8(m_strServer).GetString());
  SetTitle(title.Left(FitTextLength(title.GetString(), title.GetLength(), kTitleBuffer - 1)));
}

BOOL CQueltDoc::OnNewProfile(const CString& /*server*/, const CString& profileClass, const CString& name) {
  m_bNewCancelled = FALSE;
  std::vector<CString> servers;
  UINT messageId = 0;
  if (!ReadKnownServers(&servers, &messageId)) {
    CErrorBox(messageId).DoModal();
    return FALSE;
  }
  CTempSet set;
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY).DoModal();
    return FALSE;
  }
  SetModifiedFlag(FALSE);
  m_bOnServer = FALSE;
  if (CQueltView* view = GetView()) {
    CGetServerBox box(IDS_SELECT_SYMBOL_SERVER, servers.data(), view);
    box.SetServerSelected(IDS_DEFAULT_SERVER);
    if (box.DoModal() == IDOK) {
      const CString server = box.GetServerSelected();
      view->PutProfile(server, set.Get());
      m_strServer = server;
      m_strClass = profileClass;
      m_strName = name;
      UpdateTitle();
    } else {
      m_bNewCancelled = TRUE;
    }
  }
  return TRUE;
}

BOOL CQueltDoc::OnOpenProfile(const CString& server, const CString& profileClass, const CString& name) {
  CTempSet set;
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY).DoModal();
    return FALSE;
  }
  CWaitCursor wait;
  MultiAdminSession* session = Session();
  if (session == nullptr) return FALSE;
  if (!session->LoadProfile(QV_String(server), QV_String(name), QV_String(profileClass), set.Get())) {
    wait.Release();
    // A load the user cancelled ends without a message.
    if (!session->Cancelled()) CErrorBox(session->LastError()).DoModal();
    return FALSE;
  }
  CQueltView* view = GetView();
  // The view keeps its previous tree when it cannot build the new one, so
  // the identity stays with the tree it belongs to.
  if (view == nullptr || !view->PutProfile(server, set.Get())) return FALSE;
  m_strName = name;
  m_strClass = profileClass;
  m_strServer = server;
  m_bOnServer = TRUE;
  UpdateTitle();
  return TRUE;
}

BOOL CQueltDoc::OnSaveProfile(const CString& server, const CString& profileClass, const CString& name,
                              BOOL update) {
  BOOL valid = TRUE;
  CTempSet set;
  CWaitCursor wait;
  if (name.IsEmpty()) {
    CErrorBox(IDS_NAME_NEEDED).DoModal();
    valid = FALSE;
  }
  if (profileClass.IsEmpty()) {
    CErrorBox(IDS_CLASS_NEEDED).DoModal();
    valid = FALSE;
  }
  if (server.IsEmpty()) {
    CErrorBox(IDS_SERVER_NEEDED).DoModal();
    valid = FALSE;
  }
  if (!valid) return FALSE;
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY).DoModal();
    return FALSE;
  }
  CQueltView* view = GetView();
  MultiAdminSession* session = Session();
  if (view == nullptr || session == nullptr || !view->GetProfile(server, set.Get())) return FALSE;
  if (session->SaveProfile(QV_String(server), QV_String(profileClass), QV_String(name), set.Get(),
                           update ? 1 : 0)) {
    SetModifiedFlag(FALSE);
    view->MarkStored();
    return TRUE;
  }
  wait.Release();
  if (!session->Cancelled()) CErrorBox(session->LastError()).DoModal();
  return FALSE;
}

void CQueltDoc::OnFileSave() {
  if (!m_bOnServer) {
    OnFileSaveAs();
    return;
  }
  OnSaveProfile(m_strServer, m_strClass, m_strName, TRUE);
  UpdateTitle();
}

void CQueltDoc::OnFileSaveAs() {
  CStoreAsBoxIII box(nullptr);
  box.m_strNameEdit = m_strName;
  box.m_strClassEdit = m_strClass;
  box.m_strServerEdit = m_strServer;
  if (box.DoModal() == IDOK &&
      OnSaveProfile(box.m_strServerEdit, box.m_strClassEdit, box.m_strNameEdit, FALSE)) {
    m_strName = box.m_strNameEdit;
    m_strClass = box.m_strClassEdit;
    m_strServer = box.m_strServerEdit;
    m_bOnServer = TRUE;
    UpdateTitle();
  }
}

BOOL CQueltDoc::SaveModified() {
  if (!IsModified()) return TRUE;
  CWnd* parent = nullptr;
  if (CQueltView* view = GetView()) parent = view;
  CNotSavedBox box(parent);
  switch (box.DoModal()) {
    case IDOK:  // Yes
      OnFileSave();
      return IsModified() ? FALSE : TRUE;
    case IDNO:
      return TRUE;
    default:
      return FALSE;
  }
}
