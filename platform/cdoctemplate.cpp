#include "platform/cdoctemplate.h"

#include <cstring>

#include "platform/cframewnd.h"
#include "platform/cview.h"
#include "platform/cwinapp.h"
#include "platform/msgbox.h"
#include "platform/stringtable.h"

namespace {
// The framework's message for a document that could not be created.
constexpr UINT AFX_IDP_FAILED_TO_CREATE_DOC = 61700;
}  // namespace

CDocTemplate::CDocTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                           std::function<CFrameWnd*()> newFrame, std::function<CView*()> newView)
    : m_nIDResource(resourceId),
      m_newDocument(std::move(newDocument)),
      m_newFrame(std::move(newFrame)),
      m_newView(std::move(newView)) {}

CDocTemplate::~CDocTemplate() = default;

BOOL CDocTemplate::GetDocString(CString& text, DocStringIndex index) const {
  const CString all = LoadStringById(m_nIDResource);
  const char* p = all.GetString();
  for (int i = 0; i < index && p != nullptr; ++i) {
    p = std::strchr(p, '\n');
    if (p != nullptr) ++p;
  }
  if (p == nullptr) {
    text.Empty();
    return FALSE;
  }
  const char* end = std::strchr(p, '\n');
  text = end != nullptr ? CString(p, static_cast<int>(end - p)) : CString(p);
  return text.IsEmpty() ? FALSE : TRUE;
}

void CDocTemplate::AddDocument(CDocument* doc) {
  if (doc != nullptr) doc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* doc) {
  if (doc != nullptr && doc->m_pDocTemplate == this) doc->m_pDocTemplate = nullptr;
}

void CDocTemplate::SetDefaultTitle(CDocument* doc) {
  if (doc == nullptr) return;
  CString title;
  if (!GetDocString(title, fileNewName)) title = "Untitled";
  doc->SetTitle(title);
}

CDocument* CDocTemplate::CreateNewDocument() {
  if (!m_newDocument) return nullptr;
  CDocument* doc = m_newDocument();
  if (doc != nullptr) AddDocument(doc);
  return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* doc, CFrameWnd* /*other*/) {
  if (!m_newFrame) return nullptr;
  CFrameWnd* frame = m_newFrame();
  if (frame == nullptr) return nullptr;
  CCreateContext context;
  context.m_pNewViewClass = m_newView;
  context.m_pCurrentDoc = doc;
  context.m_pNewDocTemplate = this;
  if (!frame->LoadFrame(m_nIDResource, &context)) {
    // A frame that failed to build must not take the document with it.
    if (doc != nullptr) {
      const BOOL autoDelete = doc->m_bAutoDelete;
      doc->m_bAutoDelete = FALSE;
      frame->DestroyWindow();
      doc->m_bAutoDelete = autoDelete;
    } else {
      frame->DestroyWindow();
    }
    return nullptr;
  }
  return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible) {
  if (frame != nullptr) frame->InitialUpdateFrame(doc, makeVisible);
}

// ---- CSingleDocTemplate --------------------------------------------------

CSingleDocTemplate::~CSingleDocTemplate() {
  if (m_pOnlyDoc != nullptr) {
    CDocument* doc = m_pOnlyDoc;
    RemoveDocument(doc);
    delete doc;
  }
}

POSITION CSingleDocTemplate::GetFirstDocPosition() const {
  return m_pOnlyDoc != nullptr ? reinterpret_cast<POSITION>(m_pOnlyDoc) : nullptr;
}

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& pos) const {
  CDocument* doc = pos != nullptr && reinterpret_cast<CDocument*>(pos) == m_pOnlyDoc ? m_pOnlyDoc : nullptr;
  pos = nullptr;
  return doc;
}

void CSingleDocTemplate::AddDocument(CDocument* doc) {
  CDocTemplate::AddDocument(doc);
  m_pOnlyDoc = doc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* doc) {
  CDocTemplate::RemoveDocument(doc);
  if (m_pOnlyDoc == doc) m_pOnlyDoc = nullptr;
}

bool CSingleDocTemplate::PrepareOnlyDocument(CDocument** doc, CFrameWnd** frame, bool* frameCreated) {
  CWinApp* app = TheApp();
  *frame = nullptr;
  *frameCreated = false;
  bool created = false;
  if (m_pOnlyDoc != nullptr) {
    *doc = m_pOnlyDoc;
    if (!(*doc)->SaveModified()) return false;
    if (app != nullptr) *frame = app->m_pMainWnd;
  } else {
    *doc = CreateNewDocument();
    created = true;
  }
  if (*doc == nullptr) {
    ShowErrorMessage(AFX_IDP_FAILED_TO_CREATE_DOC, nullptr);
    return false;
  }
  if (*frame == nullptr) {
    const BOOL autoDelete = (*doc)->m_bAutoDelete;
    (*doc)->m_bAutoDelete = FALSE;  // a failed frame must not delete it
    *frame = CreateNewFrame(*doc, nullptr);
    (*doc)->m_bAutoDelete = autoDelete;
    if (*frame == nullptr) {
      ShowErrorMessage(AFX_IDP_FAILED_TO_CREATE_DOC, nullptr);
      if (created) delete *doc;
      return false;
    }
    *frameCreated = true;
  }
  return true;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path, BOOL makeVisible) {
  if (path != nullptr) return nullptr;  // documents are never files
  CWinApp* app = TheApp();
  CDocument* doc = nullptr;
  CFrameWnd* frame = nullptr;
  bool frameCreated = false;
  if (!PrepareOnlyDocument(&doc, &frame, &frameCreated)) return nullptr;
  SetDefaultTitle(doc);
  if (!doc->OnNewDocument()) {
    if (frameCreated) frame->DestroyWindow();  // takes a document it made along
    return nullptr;
  }
  if (app != nullptr) app->m_pMainWnd = frame;
  InitialUpdateFrame(frame, doc, makeVisible);
  return doc;
}
