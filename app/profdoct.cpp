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
    : CDocTemplate(resourceId, std::move(newDocument), std::move(newFrame), std::move(newView)) {}

CSingleProfileTemplate::~CSingleProfileTemplate() {
  // A document whose frame is gone already removed itself; one left here
  // (no frame ever made) is ours to delete.
  if (m_pOnlyDoc != nullptr) {
    CDocument* doc = m_pOnlyDoc;
    RemoveDocument(doc);
    delete doc;
  }
}

POSITION CSingleProfileTemplate::GetFirstDocPosition() const {
  return m_pOnlyDoc != nullptr ? reinterpret_cast<POSITION>(m_pOnlyDoc) : nullptr;
}

CDocument* CSingleProfileTemplate::GetNextDoc(POSITION& pos) const {
  CDocument* doc = pos != nullptr && reinterpret_cast<CDocument*>(pos) == m_pOnlyDoc ? m_pOnlyDoc : nullptr;
  pos = nullptr;
  return doc;
}

void CSingleProfileTemplate::AddDocument(CDocument* doc) {
  CDocTemplate::AddDocument(doc);
  m_pOnlyDoc = doc;
}

void CSingleProfileTemplate::RemoveDocument(CDocument* doc) {
  CDocTemplate::RemoveDocument(doc);
  if (m_pOnlyDoc == doc) m_pOnlyDoc = nullptr;
}

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
    // show: it goes with its frame, as a failure does.
    if (!doc->OnNewProfile(server, profileClass, name) || (frameCreated && doc->NewWasCancelled())) {
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
