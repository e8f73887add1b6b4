// CDocument: the data one frame and its views show.  It keeps a title, a
// modified flag and the list of its views, and tells the views' frames when
// the title changes so their captions follow.  Documents are created by a
// document template and belong to it; a document with m_bAutoDelete set is
// deleted when its last view goes.
#pragma once

#include <vector>

#include "platform/cmdtarget.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"

class CDocTemplate;
class CFrameWnd;
class CView;

// An iteration position (MFC style): null when there is no further item.
struct PositionTag;
using POSITION = PositionTag*;

class CDocument : public CCmdTarget {
 public:
  CDocument();
  ~CDocument() override;

  const CString& GetTitle() const { return m_strTitle; }
  // Sets the title and updates the captions of the frames that show the
  // document.
  virtual void SetTitle(const char* title);

  BOOL IsModified() const { return m_bModified ? TRUE : FALSE; }
  virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified != FALSE; }

  // Views, in the order they were added.
  void AddView(CView* view);
  void RemoveView(CView* view);
  POSITION GetFirstViewPosition() const;
  // The view at pos, and pos moves on (null after the last one).
  CView* GetNextView(POSITION& pos) const;
  const std::vector<CView*>& GetViews() const { return m_views; }

  // Calls OnUpdate of every view except sender.
  void UpdateAllViews(CView* sender, long hint = 0, void* hintObject = nullptr);

  // Called before the document's content is discarded (a new document, a
  // closing frame): TRUE when the caller may go on.  This one always
  // agrees; a document that keeps unsaved data asks its user here.
  virtual BOOL SaveModified();
  // Whether the frame may close: asks SaveModified.
  virtual BOOL CanCloseFrame(CFrameWnd* frame);
  // Makes the document empty and unmodified for reuse (single-document
  // templates call it instead of creating a new document).  TRUE on success.
  virtual BOOL OnNewDocument();
  // Empties the document's data; called by OnNewDocument.
  virtual void DeleteContents() {}

  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

  // Deleted when the last view goes (the default).
  BOOL m_bAutoDelete = TRUE;

 protected:
  CString m_strTitle;
  bool m_bModified = false;

 private:
  friend class CDocTemplate;
  std::vector<CView*> m_views;
  CDocTemplate* m_pDocTemplate = nullptr;
};
