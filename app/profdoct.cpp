#include "app/profdoct.h"

#include "app/queltdoc.h"
#include "platform/cframewnd.h"
#include "platform/cwinapp.h"
#include "platform/waitcursor.h"

CSingleProfileTemplate::CSingleProfileTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                                               std::function<CFrameWnd*()> newFrame,
                                               std::function<CView*()> newView)
    : CSingleDocTemplate(resourceId, std::move(newDocument), std::move(newFrame), std::move(newView)) {}

CDocument* CSingleProfileTemplate::OpenDocumentFile(const char* /*path*/, BOOL /*makeVisible*/) { return nullptr; }

void CSingleProfileTemplate::SetDefaultTitle(CDocument* doc) {
  if (doc != nullptr) doc->SetTitle("No Title");
}

CDocument* CSingleProfileTemplate::OpenProfile(const CString& server, const CString& profileClass,
                                               const CString& name, BOOL bNew, BOOL bMakeVisible) {
  CWinApp* app = TheApp();
  CDocument* only = nullptr;
  CFrameWnd* frame = nullptr;
  bool frameCreated = false;
  if (!PrepareOnlyDocument(&only, &frame, &frameCreated)) return nullptr;
  auto* doc = static_cast<CQueltDoc*>(only);

  if (bNew) {
    // A document made just now that the user gave no server has nothing to
    // show: it goes with its frame, as a failure does.  A reused one keeps
    // its profile untouched, and nothing was opened.
    if (!doc->OnNewProfile(server, profileClass, name) || doc->NewWasCancelled()) {
      if (frameCreated) frame->DestroyWindow();
      return nullptr;
    }
  } else {
    CWaitCursor wait;
    const BOOL wasModified = doc->IsModified();
    doc->SetModifiedFlag(FALSE);
    if (!doc->OnOpenProfile(server, profileClass, name)) {
      if (frameCreated)
        frame->DestroyWindow();
      else if (doc->IsModified()) {
        wait.Release();
        doc->OnNewProfile(server, profileClass, name);
      }
      else
        doc->SetModifiedFlag(wasModified);
      return nullptr;
    }
  }

  if (app != nullptr) app->m_pMainWnd = frame;
  InitialUpdateFrame(frame, doc, bMakeVisible);
  return doc;
}
