#include "app/proffile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/misc.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/tempset.h"
#include "common/multises.h"
#include "comnmfc/getservb.h"
#include "dialogs/errorbox.h"
#include "platform/cframewnd.h"
#include "platform/fileio.h"
#include "platform/cwinapp.h"
#include "platform/modalhost.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"
#include "s100/cterrors.h"
#include "s100/deif.h"

namespace {

// The widget file dialogs belong to: the main window, if there is one.
QWidget* DialogParent() {
  CWinApp* app = TheApp();
  return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->Window() : nullptr;
}

// Asks for a profile file through the modal host; empty when cancelled.
CString AskForFile(bool save, const CString& suggestion, const char* title = nullptr) {
  FileDialogRequest request;
  request.save = save;
  request.title = title != nullptr ? title : save ? "Export to File" : "Import from File";
  request.filter = kProfileFileFilter;
  request.defaultSuffix = kProfileFileSuffix;
  request.suggestion = suggestion;
  request.owner = DialogParent();
  return ModalHost::Current().AskForFile(request);
}

}  // namespace

CString AskForProfileFile() { return AskForFile(false, CString(), "Compare With File"); }

UINT ProfileToText(MultiAdminSession* session, const CString& server, CTkvs set, std::string* text) {
  SymbolLookups lookups = ServerSymbolLookups(session, server.GetString());
  QV_RawDataElement element{};
  element.type = CT_TYPE_KVSET;
  element.value.kvs = set;
  char* out = nullptr;
  const QV_Status status = DEtoA(&element, &out, &TranslateSymbols, &lookups);
  if (status != QV_OK || out == nullptr) {
    std::free(out);
    return IDS_RENDER_FAILED;
  }
  text->assign(out);
  std::free(out);
  // As `ctadm get` prints it: the text ends with a line break.
  if (text->empty() || text->back() != '\n') text->push_back('\n');
  return 0;
}

UINT TextToProfile(MultiAdminSession* session, const CString& server, const std::string& text, CTkvs set) {
  if (text.size() > kDeifMaxTextBytes) return IDS_FILE_TOO_LARGE;
  uint32_t failure = 0;
  SymbolLookups lookups = ServerSymbolLookups(session, server.GetString(), &failure);
  QV_RawDataElement element{};
  size_t stop = 0;
  const QV_Status status = AtoAnyDEn(text.data(), text.size(), &stop, &element, &TranslateSymbols, &lookups);
  if (status.state != QV_STATE_SUCCESS) {
    QV_DestroyDataElement(&element);
    switch (status.error) {
      case ct::kErrTextUnknownName:
        // A server that cannot be reached knows no names at all: say that.
        return failure == IDS_ADM_COULD_NOT_CONNECT ? IDS_ADM_COULD_NOT_CONNECT
                                                                : IDS_FILE_UNKNOWN_SYMBOL;
      case ct::kErrTextTooLarge:
        return IDS_FILE_TOO_LARGE;
      case ct::kErrNoMemory:
        return IDS_NO_MEMORY;
      default:
        return IDS_FILE_NOT_PROFILE_TEXT;
    }
  }
  if (element.type != CT_TYPE_KVSET) {
    QV_DestroyDataElement(&element);
    return IDS_FILE_NOT_KVSET;
  }
  uint32_t err = 0;
  const bool copied = CTkvs_Copy(set, element.value.kvs, &err) == 1;
  QV_DestroyDataElement(&element);
  return copied ? 0 : IDS_NO_MEMORY;
}

UINT ReadProfileFile(const std::string& path, std::string* text) {
  switch (ReadRegularFile(path, kDeifMaxTextBytes, text)) {
    case FileReadProblem::None: return 0;
    case FileReadProblem::TooLarge: return IDS_FILE_TOO_LARGE;
    default: return IDS_FILE_UNREADABLE;
  }
}

UINT WriteProfileFile(const std::string& path, const std::string& text) {
  if (path.empty()) return IDS_FILE_NOT_WRITTEN;
  return ReplaceFileAtomically(path, text) == 0 ? 0 : IDS_FILE_NOT_WRITTEN;
}

void CQueltDoc::OnImportFromFile() {
  const CString path = AskForFile(false, CString());
  if (!path.IsEmpty()) ImportProfileFile(path);
}

void CQueltDoc::OnExportToFile() {
  CString suggestion = m_strName;
  suggestion += ".";
  suggestion += kProfileFileSuffix;
  const CString path = AskForFile(true, suggestion);
  if (!path.IsEmpty()) ExportProfileFile(path);
}

BOOL CQueltDoc::ImportProfileFile(const CString& path) {
  CQueltView* view = GetView();
  if (view == nullptr) return FALSE;
  std::string text;
  {
    CWaitCursor wait;
    const UINT problem = ReadProfileFile(path.str(), &text);
    if (problem != 0) {
      wait.Release();
      CErrorBox(problem, view).DoModal();
      return FALSE;
    }
  }
  // As New: unsaved changes first, then the server whose symbol table
  // reads the names.
  if (!SaveModified()) return FALSE;
  std::vector<CString> servers;
  UINT messageId = 0;
  if (!ReadKnownServers(&servers, &messageId)) {
    CErrorBox(messageId, view).DoModal();
    return FALSE;
  }
  CString server;
  {
    CGetServerBox box(IDS_SELECT_SYMBOL_SERVER, servers.data(), view);
    box.SetServerSelected(IDS_DEFAULT_SERVER);
    if (box.DoModal() != IDOK) return FALSE;
    server = box.GetServerSelected();
  }
  CTempSet set;
  if (!set.Ok()) {
    CErrorBox(IDS_NO_MEMORY, view).DoModal();
    return FALSE;
  }
  {
    CWaitCursor wait;
    const UINT problem = TextToProfile(view->GetSession(), server, text, set.Get());
    if (problem != 0) {
      wait.Release();
      CErrorBox(problem, view).DoModal();
      return FALSE;
    }
    // The view reports its own failure and keeps its tree.
    if (!view->PutProfile(server, set.Get())) return FALSE;
  }
  const std::string base = FileBaseName(path.GetString());
  m_strName = base.empty() ? LoadStringById(IDS_UNTITLED) : CString(base.c_str());
  m_strClass = LoadStringById(IDS_NO_CLASS);
  m_strServer = server;
  m_bOnServer = FALSE;
  ForgetStoreInDoubt();
  ForgetBase();
  FollowServer();
  // Never stored: modified until it is, whatever Undo and Redo do.
  view->MarkNeverStored();
  SetModifiedFlag(TRUE);
  UpdateTitle();
  view->OnInitialUpdate();
  return TRUE;
}

BOOL CQueltDoc::ExportProfileFile(const CString& path) {
  CQueltView* view = GetView();
  if (view == nullptr) return FALSE;
  CWaitCursor wait;
  CTempSet set;
  if (!TempSetReady(set, wait, view)) return FALSE;
  // The view reports its own failure.
  if (!view->GetProfile(view->GetSymbolServer(), set.Get())) return FALSE;
  std::string text;
  UINT problem = ProfileToText(view->GetSession(), view->GetSymbolServer(), set.Get(), &text);
  // A file that could not be imported again is not written.
  if (problem == 0 && text.size() > kDeifMaxTextBytes) problem = IDS_PROFILE_TOO_LARGE;
  if (problem == 0) problem = WriteProfileFile(path.str(), text);
  if (problem != 0) {
    wait.Release();
    CErrorBox(problem, view).DoModal();
    return FALSE;
  }
  return TRUE;
}
