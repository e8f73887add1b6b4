#include "platform/cdocument.h"

#include <algorithm>
#include <cstdint>

#include "platform/cdoctemplate.h"
#include "platform/cframewnd.h"
#include "platform/cview.h"

CDocument::CDocument() = default;

CDocument::~CDocument() {
  // Views that outlive their document must not point at it.
  for (CView* view : m_views) view->m_pDocument = nullptr;
  m_views.clear();
  if (m_pDocTemplate != nullptr) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(const char* title) {
  m_strTitle = title != nullptr ? title : "";
  // Each frame once, even when it shows the document in several views.
  std::vector<CFrameWnd*> frames;
  for (CView* view : m_views) {
    CFrameWnd* frame = view->GetParentFrame();
    if (frame != nullptr && std::find(frames.begin(), frames.end(), frame) == frames.end()) frames.push_back(frame);
  }
  for (CFrameWnd* frame : frames) frame->OnUpdateFrameTitle(TRUE);
}

void CDocument::AddView(CView* view) {
  if (view == nullptr || std::find(m_views.begin(), m_views.end(), view) != m_views.end()) return;
  if (view->m_pDocument != nullptr && view->m_pDocument != this) view->m_pDocument->RemoveView(view);
  m_views.push_back(view);
  view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
  const auto it = std::find(m_views.begin(), m_views.end(), view);
  if (it == m_views.end()) return;
  m_views.erase(it);
  view->m_pDocument = nullptr;
}

POSITION CDocument::GetFirstViewPosition() const {
  return m_views.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<uintptr_t>(1));
}

CView* CDocument::GetNextView(POSITION& pos) const {
  const uintptr_t index = reinterpret_cast<uintptr_t>(pos);  // one past the view's index
  if (index == 0 || index > m_views.size()) {
    pos = nullptr;
    return nullptr;
  }
  CView* view = m_views[index - 1];
  pos = index < m_views.size() ? reinterpret_cast<POSITION>(index + 1) : nullptr;
  return view;
}

void CDocument::UpdateAllViews(CView* sender, long hint, void* hintObject) {
  const std::vector<CView*> views = m_views;  // a view may go while updating
  for (CView* view : views)
    if (view != sender) view->OnUpdate(sender, hint, hintObject);
}

BOOL CDocument::SaveModified() { return TRUE; }

BOOL CDocument::CanCloseFrame(CFrameWnd* /*frame*/) { return SaveModified(); }

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  SetModifiedFlag(FALSE);
  return TRUE;
}
