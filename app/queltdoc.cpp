#include "app/queltdoc.h"

#include <cstdio>

#include "app/history.h"
#include "app/misc.h"
#include "app/profwatch.h"
#include "app/proffile.h"
#include "app/quelt.h"
#include "app/queltview.h"
#include "app/storeas3.h"
#include "app/symxlate.h"
#include "app/tempset.h"
#include "comnmfc/getservb.h"
#include "comnmfc/notsaved.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/stringtable.h"
#include "platform/textbytes.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "s100/ctcontainers.h"

namespace {

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
  AddCommand(ID_COMPARE_SERVER, [this] { OnCompareServer(); });
  AddCommandUpdate(ID_COMPARE_SERVER, [this](CCmdUI* ui) { OnUpdateCompareServer(ui); });
  AddCommand(ID_COMPARE_OTHER_SERVER, [this] { OnCompareOtherServer(); });
  AddCommandUpdate(ID_COMPARE_OTHER_SERVER, [this](CCmdUI* ui) { OnUpdateCompareView(ui); });
  // A revision is compared from the history's own Compare button.
  AddCommand(ID_COMPARE_REVISION, [this] { OnRevisionHistory(); });
  AddCommandUpdate(ID_COMPARE_REVISION, [this](CCmdUI* ui) { OnUpdateRevisionHistory(ui); });
  AddCommand(ID_COMPARE_FILE, [this] { OnCompareFile(); });
  AddCommandUpdate(ID_COMPARE_FILE, [this](CCmdUI* ui) { OnUpdateCompareView(ui); });
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
  CQueltView* view = GetView();
  if (view == nullptr) {
    SetModifiedFlag(FALSE);
    m_bOnServer = FALSE;
    return TRUE;
  }
  CGetServerBox box(IDS_SELECT_SYMBOL_SERVER, servers.data(), view);
  box.SetServerSelected(IDS_DEFAULT_SERVER);
  // Only a confirmed server starts the new profile: a cancel leaves the
  // open one exactly as it was, unsaved changes and history included.
  if (box.DoModal() != IDOK) {
    m_bNewCancelled = TRUE;
    return TRUE;
  }
  const CString server = box.GetServerSelected();
  view->PutProfile(server, set.Get());
  m_strServer = server;
  m_strClass = profileClass;
  m_strName = name;
  m_bOnServer = FALSE;
  ForgetStoreInDoubt();
  ForgetBase();
  FollowServer();
  SetModifiedFlag(FALSE);
  UpdateTitle();
  return TRUE;
}

BOOL CQueltDoc::OnOpenProfile(const CString& server, const CString& profileClass, const CString& name) {
  ServerRequestScope request(this, true);
  CTempSet set;
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY).DoModal();
    return FALSE;
  }
  CWaitCursor wait;
  MultiAdminSession* session = Session();
  if (session == nullptr) return FALSE;
  CT_ProfileVersion version{};
  if (!session->LoadProfile(QV_String(server), QV_String(name), QV_String(profileClass), set.Get(), &version)) {
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
  ForgetStoreInDoubt();
  SetBase(set.Get(), version.revision, version.timeUnixMs);
  FollowServer();
  UpdateTitle();
  return TRUE;
}

BOOL CQueltDoc::OnSaveProfile(const CString& server, const CString& profileClass, const CString& name,
                              BOOL update) {
  ServerRequestScope request(this, false);
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
  if (CQueltView* shown = GetView(); shown != nullptr && shown->UnresolvedConflicts() > 0) {
    wait.Release();
    CErrorBox(IDS_CONFLICTS_UNRESOLVED).DoModal();
    return FALSE;
  }
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY).DoModal();
    return FALSE;
  }
  CQueltView* view = GetView();
  MultiAdminSession* session = Session();
  if (view == nullptr || session == nullptr || !view->GetProfile(server, set.Get())) return FALSE;
  // The tree holds the numbers of the server it was built on; another
  // server gives the same names other numbers.
  const bool translated = view->GetSymbolServer() != server;
  QV_DataElement tree;
  if (translated) {
    tree.SetToKVSet(set.Get());
    const UINT problem = TranslateProfileSymbols(view->GetSymbolServer(), server, set.Get());
    if (problem != 0) {
      wait.Release();
      if (problem != kTranslationCancelled) CErrorBox(problem).DoModal();
      return FALSE;
    }
  }
  // The server must still hold the revision the edits started from; when
  // it does not, the user decides between the two sets of changes.
  const uint64_t expected = ExpectedRevision(server, profileClass, name, update);
  bool conflict = expected != 0 && ServerKnownAhead();
  uint64_t written = 0;
  bool stored = false;
  if (!conflict) {
    stored = session->SaveProfile(QV_String(server), QV_String(profileClass), QV_String(name), set.Get(),
                                  update ? 1 : 0, expected, &written) != 0;
    conflict = !stored && session->IsRevisionConflict();
  }
  if (conflict) {
    wait.Release();
    if (ResolveStoreConflict(server, profileClass, name, set.Get(), translated) != ConflictChoice::Overwrite)
      return FALSE;
    stored = session->SaveProfile(QV_String(server), QV_String(profileClass), QV_String(name), set.Get(), 1, 0,
                                  &written) != 0;
  }
  if (stored) {
    SetBase(set.Get(), written, 0);
    if (translated) {
      // Shown from now on with the target server's symbols; the history's
      // steps hold the old server's numbers, so it starts anew.
      view->PutProfile(server, set.Get());
      view->OnInitialUpdate();
    }
    SetModifiedFlag(FALSE);
    view->MarkStored();
    ForgetStoreInDoubt();
    return TRUE;
  }
  wait.Release();
  if (!session->Cancelled()) {
    CErrorBox(session->LastError()).DoModal();
    return FALSE;
  }
  // The request may have reached the server before the user gave up on
  // it; a cancel cannot take it back.  The next contact finds out.
  m_bStoreInDoubt = TRUE;
  m_bDoubtUpdate = update;
  m_strDoubtServer = server;
  m_strDoubtClass = profileClass;
  m_strDoubtName = name;
  m_doubtSent.SetToKVSet(set.Get());
  m_doubtTree = translated ? tree : m_doubtSent;
  CErrorBox(IDS_STORE_MAY_HAVE_HAPPENED).DoModal();
  return FALSE;
}

void CQueltDoc::ResolveStoreInDoubt() {
  if (!m_bStoreInDoubt) return;
  CQueltView* view = GetView();
  MultiAdminSession* session = Session();
  if (view == nullptr || session == nullptr) return;
  const QV_String server(m_strDoubtServer.GetString());
  const QV_String profileClass(m_strDoubtClass.GetString());
  const QV_String name(m_strDoubtName.GetString());
  // Whether the profile exists at all: a store that added it did happen.
  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  int32_t count = 0;
  const int32_t listed = session->GetProfileList(server, profileClass, &names, &classes, &count);
  bool present = false;
  for (int32_t i = 0; listed && i < count; ++i) present = present || (names[i] == name && classes[i] == profileClass);
  delete[] names;
  delete[] classes;
  if (!listed) return;  // the server cannot tell yet
  // The content of its current revision tells whether it is what was sent.
  CTempSet current;
  CT_ProfileVersion version{};
  if (present) {
    if (!current.Ok()) return;
    if (!session->LoadProfile(server, name, profileClass, current.Get(), &version)) return;
  }
  m_bStoreInDoubt = FALSE;
  if (!present || !SameProfileContent(current.Get(), m_doubtSent.KVSet())) return;  // not stored
  // What the server holds now is what was sent: the next Store expects it.
  SetBase(current.Get(), version.revision, version.timeUnixMs);

  // Stored.  The document is clean only if the tree still holds exactly
  // what was stored; edits made since keep it modified.
  CTempSet now;
  const bool unchanged = now.Ok() && view->GetProfile(m_strDoubtServer, now.Get()) &&
                         SameProfileContent(now.Get(), m_doubtTree.KVSet());
  const bool translated = view->GetSymbolServer() != m_strDoubtServer;
  if (translated && !unchanged) return;  // the tree keeps its own server's identity
  if (translated) {
    view->PutProfile(m_strDoubtServer, m_doubtSent.KVSet());
    view->OnInitialUpdate();
  }
  if (unchanged)
    view->MarkStored();
  else
    view->MarkNeverStored();  // the stored state is none of the history's
  if (!m_bDoubtUpdate) {
    m_strServer = m_strDoubtServer;
    m_strClass = m_strDoubtClass;
    m_strName = m_strDoubtName;
    m_bOnServer = TRUE;
  }
  SetModifiedFlag(unchanged ? FALSE : TRUE);
  FollowServer();
  UpdateTitle();
}

void CQueltDoc::OnFileSave() {
  ResolveStoreInDoubt();
  if (!m_bOnServer) {
    OnFileSaveAs();
    return;
  }
  OnSaveProfile(m_strServer, m_strClass, m_strName, TRUE);
  FollowServer();
  UpdateTitle();
}

void CQueltDoc::OnFileSaveAs() {
  ResolveStoreInDoubt();
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
  FollowServer();
}

BOOL CQueltDoc::SaveModified() {
  // A store that went through after all leaves nothing to ask about.
  ResolveStoreInDoubt();
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
