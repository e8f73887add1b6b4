#include "app/profdoct.h"

#include "app/queltdoc.h"
#include "platform/cframewnd.h"
#include "platform/cwinapp.h"
#include "platform/msgbox.h"
#include "platform/waitcursor.h"

namespace {
// The framework's message for a document that could not be created.
constexpr UINT AFX_IDP_FAILED_TO_CREATE_DOC = 61700;
}  // namespace

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
  CQueltDoc* doc = nullptr;
  CFrameWnd* frame = nullptr;
  bool docCreated = false;
  if (m_pOnlyDoc != nullptr) {
    doc = static_cast<CQueltDoc*>(m_pOnlyDoc);
    if (!doc->SaveModified()) return nullptr;
    if (app != nullptr) frame = app->m_pMainWnd;
  } else {
    doc = static_cast<CQueltDoc*>(CreateNewDocument());
    docCreated = true;
  }
  if (doc == nullptr) {
    ShowErrorMessage(AFX_IDP_FAILED_TO_CREATE_DOC, nullptr);
    return nullptr;
  }

  bool frameCreated = false;
  if (frame == nullptr) {
    const BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE;
    frame = CreateNewFrame(doc, nullptr);
    doc->m_bAutoDelete = autoDelete;
    if (frame == nullptr) {
      ShowErrorMessage(AFX_IDP_FAILED_TO_CREATE_DOC, nullptr);
      if (docCreated) delete doc;
      return nullptr;
    }
    frameCreated = true;
  }

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
