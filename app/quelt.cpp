#include "app/quelt.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/helpwnd.h"
#include "app/mainfrm.h"
#include "app/misc.h"
#include "app/profdoct.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/settings.h"
#include "comnmfc/getservb.h"
#include "comnmfc/retrieve.h"
#include "common/registry.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/msgbox.h"
#include "platform/progresscall.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/resourceids.h"
#include "resources/stringids.h"
#include "s100/ctruntime.h"
#include "tree/bmstore.h"

namespace {

// Where the help pages are found below the installation's root.
constexpr const char* kHelpSuffix = "/Client/Admin/help/index.html";

// Reads the next whitespace-separated word at *cursor into word.  FALSE
// when there is none, or when it is longer than a word buffer holds.
BOOL NextWord(const char** cursor, CString& word) {
  const char* p = *cursor;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  const char* start = p;
  while (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') ++p;
  *cursor = p;
  const long length = p - start;
  if (length == 0 || length > kMaxWordLength) return FALSE;
  word = CString(start, static_cast<int>(length));
  return TRUE;
}

// Shown before the GUI exists, the message goes to the error stream.
void EarlyMessage(UINT id) {
  if (QCoreApplication::instance() != nullptr)
    CErrorBox(id).DoModal();
  else
    std::fprintf(stderr, "quelt: %s\n", LoadStringById(id).GetString());
}
}  // namespace

CQueltApp* TheQueltApp() { return dynamic_cast<CQueltApp*>(TheApp()); }

CString MakeProfileEntry(const char* name, const char* profileClass) {
  CString entry(name);
  entry += "  [ ";
  entry += profileClass;
  entry += " ]";
  return entry;
}

CQueltApp::CQueltApp() : CWinApp("quelt") {
  NT_RegKey key(HKEY_LOCAL_MACHINE, kEnvironmentKey, KEY_READ);
  uint32_t err = 0;
  if (CT_Initialize(&err) == 1) ++m_nRuntimeInits;
  char root[kMaxHelpPathLength + 1];
  const size_t suffix = std::strlen(kHelpSuffix);
  if (key.GetValue("RootPath", root, sizeof root)) {
    // The path and its suffix must fit the 260-character buffer; a root too
    // long for it leaves the default path rather than a cut one.
    if (std::strlen(root) + suffix <= static_cast<size_t>(kMaxHelpPathLength)) {
      std::strcat(root, kHelpSuffix);
      SetHelpFilePath(root);
    }
  } else {
    EarlyMessage(IDS_BAD_REGISTRY);
  }
  AddCommand(ID_FILE_NEW, [this] { OnFileNew(); });
  AddCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
  AddCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
  AddCommand(ID_HELP_CONTENTS, [this] { OnHelpContents(); });
  AddCommand(ID_HELP_SEARCHFORHELPON, [this] { OnHelpSearchforhelpon(); });
  AddCommand(ID_HELP_HOWTOUSEHELP, [this] { OnHelpHowtousehelp(); });
  AddCommandRange(ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST, [this](UINT id) { OnRecentProfile(id); });
}

CQueltApp::~CQueltApp() {
  // ExitInstance has removed the help window while Qt still ran; a widget
  // cannot be deleted once the QApplication is gone, so one left over then
  // is let go with the process.
  if (QCoreApplication::instance() != nullptr)
    m_pHelpWindow.reset();
  else
    (void)m_pHelpWindow.release();
  m_session.LogOffAllSessionsWithin(kLogOffWaitMs);
  ShutdownRuntime();
  if (CQueltView::AppSession() == &m_session) CQueltView::SetAppSession(nullptr);
}

void CQueltApp::ShutdownRuntime() {
  uint32_t err = 0;
  for (; m_nRuntimeInits > 0; --m_nRuntimeInits) CT_Shutdown(&err);
}

BOOL CQueltApp::InitInstance() {
  uint32_t err = 0;
  if (CT_Initialize(&err) == 1) ++m_nRuntimeInits;
  if (!CBitmapStore::LoadBitmaps()) {
    CErrorBox(IDS_BITMAPS_FAILED).DoModal();
    return FALSE;
  }
  RegisterMainFrameResources();
  CQueltView::SetAppSession(&m_session);
  // Server requests run on a worker thread behind a progress window.
  m_session.SetCallRunner(&ProgressCallRunner());
  AddDocTemplate(new CSingleProfileTemplate(IDR_MAINFRAME, &CreateObject<CQueltDoc>, &CreateObject<CMainFrame>,
                                            &CreateObject<CQueltView>));

  const char* cursor = m_lpCmdLine.GetString();
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  if (*cursor == '\0') {
    OnFileNew();
    // Without a profile there is no window: the program ends.
    return m_pMainWnd != nullptr ? TRUE : FALSE;
  }
  CString server, mode, third, fourth;
  if (!NextWord(&cursor, server) || !NextWord(&cursor, mode) || !NextWord(&cursor, third)) return FALSE;
  if (mode == LoadStringById(IDS_MODE_NEW)) return OpenProfile(server, third, LoadStringById(IDS_UNTITLED), TRUE) != nullptr;
  if (mode == LoadStringById(IDS_MODE_EDIT)) {
    if (!NextWord(&cursor, fourth)) return FALSE;
    return OpenProfile(server, fourth, third, FALSE) != nullptr;
  }
  return FALSE;
}

int CQueltApp::ExitInstance() {
  // The help window goes with the program, and before the QApplication.
  m_pHelpWindow.reset();
  // The window is gone: a server that does not answer must not keep the
  // program alive.
  m_session.LogOffAllSessionsWithin(kLogOffWaitMs);
  CBitmapStore::FreeBitmaps();
  // Both initialisations (construction and start-up) end here, so the
  // runtime lets go of its servers while the program still runs.
  ShutdownRuntime();
  return CWinApp::ExitInstance();
}

CDocument* CQueltApp::OpenProfile(const CString& server, const CString& profileClass, const CString& name,
                                  BOOL bNew) {
  POSITION pos = GetFirstDocTemplatePosition();
  auto* docTemplate = dynamic_cast<CSingleProfileTemplate*>(GetNextDocTemplate(pos));
  if (docTemplate == nullptr) return nullptr;
  CDocument* doc = docTemplate->OpenProfile(server, profileClass, name, bNew, TRUE);
  if (doc != nullptr && !bNew) RememberProfile({server, name, profileClass});
  return doc;
}

// Retrieves the profile as the command line's "edit" does.  One that the
// server could not give (the document has said so) is forgotten; one that
// could not be reached, or whose retrieval was cancelled, stays.
void CQueltApp::OnRecentProfile(UINT id) {
  const std::vector<CRecentProfile>& recent = EditorSettings().m_recent;
  const size_t index = id - ID_FILE_MRU_FIRST;
  if (index >= recent.size()) return;
  const CRecentProfile profile = recent[index];
  m_session.ResetLastError();
  if (OpenProfile(profile.server, profile.profileClass, profile.name, FALSE) != nullptr) return;
  if (!m_session.Cancelled() && m_session.LastError() == IDS_ADM_RETRIEVE_FAILED) ForgetProfile(profile);
}

void CQueltApp::OnFileNew() {
  OpenProfile(LoadStringById(IDS_DEFAULT_SERVER), LoadStringById(IDS_NO_CLASS), LoadStringById(IDS_UNTITLED), TRUE);
}

BOOL ChooseServerProfile(UINT promptId, MultiAdminSession* session, CWnd* owner, CString* server, CString* name,
                         CString* profileClass) {
  std::vector<CString> servers;
  UINT messageId = 0;
  if (!ReadKnownServers(&servers, &messageId)) {
    CErrorBox(messageId, owner).DoModal();
    return FALSE;
  }
  {
    CGetServerBox box(promptId, servers.data(), owner);
    box.SetServerSelected(IDS_DEFAULT_SERVER);
    if (box.DoModal() != IDOK) return FALSE;
    *server = box.GetServerSelected();
  }

  QV_String* names = nullptr;
  QV_String* classes = nullptr;
  int32_t count = 0;
  CWaitCursor wait;
  const int32_t listed = session->GetProfileList(QV_String(*server), QV_String(""), &names, &classes, &count);
  wait.Release();
  std::unique_ptr<QV_String[]> ownNames(names), ownClasses(classes);
  if (!listed) {
    if (!session->Cancelled()) CErrorBox(session->LastError(), owner).DoModal();
    return FALSE;
  }
  if (count < 1 || names == nullptr || classes == nullptr) {
    CErrorBox(IDS_NO_PROFILES, owner).DoModal();
    return FALSE;
  }
  std::unique_ptr<QV_String[]> entries(new (std::nothrow) QV_String[static_cast<size_t>(count)]);
  if (!entries) {
    CErrorBox(IDS_NO_MEMORY, owner).DoModal();
    return FALSE;
  }
  for (int32_t i = 0; i < count; ++i)
    entries[i] = QV_String(MakeProfileEntry(static_cast<const char*>(names[i]), static_cast<const char*>(classes[i])).GetString());

  CRetrieveBox box(entries.get(), count, owner);
  if (box.DoModal() != IDOK) return FALSE;
  // The name and class come from the list itself, not from a re-reading of
  // the entry text, so blanks in either survive.
  const int32_t index = box.GetProfileIndex();
  if (index < 0 || index >= count) return FALSE;
  *name = CString(static_cast<const char*>(names[index]));
  *profileClass = CString(static_cast<const char*>(classes[index]));
  return TRUE;
}

void CQueltApp::OnFileOpen() {
  CString server, name, profileClass;
  if (ChooseServerProfile(IDS_SELECT_RETRIEVE_SERVER, &m_session, nullptr, &server, &name, &profileClass))
    OpenProfile(server, profileClass, name, FALSE);
}

void CQueltApp::OnAppAbout() { DisplayAboutBox(IDR_MAINFRAME, nullptr, m_pMainWnd); }

void CQueltApp::OnHelpContents() { WinHelp(0, HELP_FINDER); }
void CQueltApp::OnHelpSearchforhelpon() { WinHelp(0, HELP_KEY); }
void CQueltApp::OnHelpHowtousehelp() { WinHelp(0, HELP_HELPONHELP); }

void CQueltApp::WinHelp(DWORD /*data*/, UINT command) {
  if (QCoreApplication::instance() == nullptr) return;
  if (!m_pHelpWindow) m_pHelpWindow = std::make_unique<CHelpWindow>(QString::fromLocal8Bit(m_pszHelpFilePath));
  switch (command) {
    case HELP_HELPONHELP:
      m_pHelpWindow->ShowUsingHelp();
      break;
    case HELP_KEY:
      m_pHelpWindow->ShowSearch();
      break;
    default:
      m_pHelpWindow->ShowContents();
      break;
  }
}
