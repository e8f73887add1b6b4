// The document's comparisons: the open profile, unsaved changes included,
// against the server's current content, a revision, a profile on another
// known server, or a profile file.  The document fetches the other side
// (with the progress window and Cancel of every server call); the view
// marks the differences.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/misc.h"
#include "app/proffile.h"
#include "app/quelt.h"
#include "app/queltdoc.h"
#include "app/queltview.h"
#include "app/tempset.h"
#include "common/multises.h"
#include "dialogs/errorbox.h"
#include "platform/cmdtarget.h"
#include "platform/msgbox.h"
#include "platform/stringtable.h"
#include "platform/waitcursor.h"
#include "resources/stringids.h"

void CQueltDoc::OnUpdateCompareServer(CCmdUI* ui) { ui->Enable(m_bOnServer && GetView() != nullptr); }

void CQueltDoc::OnCompareServer() {
  ResolveStoreInDoubt();
  CQueltView* view = GetView();
  if (!m_bOnServer || view == nullptr || view->GetSession() == nullptr) return;
  CWaitCursor wait;
  CTempSet set;
  if (!TempSetReady(set, wait, view)) return;
  MultiAdminSession* session = view->GetSession();
  if (!session->LoadProfile(QV_String(m_strServer.GetString()), QV_String(m_strName.GetString()),
                            QV_String(m_strClass.GetString()), set.Get())) {
    wait.Release();
    if (!session->Cancelled()) CErrorBox(session->LastError(), view).DoModal();
    return;
  }
  wait.Release();
  QV_DataElement other;
  other.SetToKVSet(set.Get());
  view->StartComparison(other, LoadStringById(IDS_CURRENT_CONTENT));
}

BOOL CQueltDoc::CompareWithRevision(uint64_t revision) {
  CQueltView* view = GetView();
  CTempSet set;
  if (!LoadRevision(revision, set)) return FALSE;
  QV_DataElement other;
  other.SetToKVSet(set.Get());
  CString name;
  name.Format(LoadStringById(IDS_REVISION_NAMED).GetString(), static_cast<unsigned long long>(revision));
  return view->StartComparison(other, name);
}

void CQueltDoc::OnUpdateCompareView(CCmdUI* ui) { ui->Enable(GetView() != nullptr); }

// A known server, then one of its profiles, as Retrieve asks for them.
void CQueltDoc::OnCompareOtherServer() {
  CQueltView* view = GetView();
  if (view == nullptr || view->GetSession() == nullptr) return;
  CString server, name, profileClass;
  if (ChooseServerProfile(IDS_SELECT_COMPARE_SERVER, view->GetSession(), view, &server, &name, &profileClass))
    CompareWithProfile(server, profileClass, name);
}

BOOL CQueltDoc::CompareWithProfile(const CString& server, const CString& profileClass, const CString& name) {
  CQueltView* view = GetView();
  if (view == nullptr || view->GetSession() == nullptr) return FALSE;
  MultiAdminSession* session = view->GetSession();
  CWaitCursor wait;
  CTempSet set;
  if (!TempSetReady(set, wait, view)) return FALSE;
  if (!session->LoadProfile(QV_String(server.GetString()), QV_String(name.GetString()),
                            QV_String(profileClass.GetString()), set.Get())) {
    wait.Release();
    if (!session->Cancelled()) CErrorBox(session->LastError(), view).DoModal();
    return FALSE;
  }
  CString title;
  title.Format(LoadStringById(IDS_PROFILE_ON_SERVER).GetString(), name.GetString(), server.GetString());
  QV_DataElement other;
  // Named on the view's server, the other profile compares by number and its
  // values can be taken over; a name the view's server lacks leaves it
  // numbered as its own server numbers it, matched by name.
  const CString viewServer = view->GetSymbolServer();
  std::string text;
  CTempSet translated;
  if (server != viewServer && translated.Ok() && ProfileToText(session, server, set.Get(), &text) == 0 &&
      TextToProfile(session, viewServer, text, translated.Get()) == 0) {
    other.SetToKVSet(translated.Get());
    wait.Release();
    return view->StartComparison(other, title);
  }
  other.SetToKVSet(set.Get());
  wait.Release();
  return view->StartComparison(other, title, server);
}

void CQueltDoc::OnCompareFile() {
  const CString path = AskForProfileFile();
  if (!path.IsEmpty()) CompareWithFile(path);
}

// The file's names are read with the view's server, as the profile shown.
BOOL CQueltDoc::CompareWithFile(const CString& path) {
  CQueltView* view = GetView();
  if (view == nullptr) return FALSE;
  CWaitCursor wait;
  std::string text;
  UINT problem = ReadProfileFile(path.str(), &text);
  CTempSet set;
  if (problem == 0 && !set.Ok()) problem = IDS_NO_MEMORY;
  if (problem == 0) problem = TextToProfile(view->GetSession(), view->GetSymbolServer(), text, set.Get());
  wait.Release();
  if (problem != 0) {
    CErrorBox(problem, view).DoModal();
    return FALSE;
  }
  QV_DataElement other;
  other.SetToKVSet(set.Get());
  const std::string full = path.str();
  const size_t slash = full.find_last_of('/');
  return view->StartComparison(other, CString(slash == std::string::npos ? full.c_str() : full.c_str() + slash + 1));
}
