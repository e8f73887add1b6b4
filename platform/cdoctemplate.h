// Document templates: how a kind of document is created together with the
// frame and the view that show it.  A template is built from a resource id
// (the frame's menu, accelerators and document string) and three
// factories.  CSingleDocTemplate holds at most one document: the first
// opening creates the document, its frame and its view; every later opening
// asks the document to save its changes and reuses all three.
#pragma once

#include <functional>
#include <new>
#include <vector>

#include "platform/cdocument.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"

class CFrameWnd;
class CView;

// What a frame needs to build its view: the view's factory and the
// document the view shows.
struct CCreateContext {
  std::function<CView*()> m_pNewViewClass;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
};

// A factory for any default-constructible class: CreateObject<CMyDoc>.
// Null when memory runs out.
template <class T>
T* CreateObject() {
  return new (std::nothrow) T;
}

class CDocTemplate {
 public:
  // The parts of the document string (lines of the string resourceId).
  enum DocStringIndex { windowTitle = 0, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };

  CDocTemplate(UINT resourceId, std::function<CDocument*()> newDocument, std::function<CFrameWnd*()> newFrame,
               std::function<CView*()> newView);
  // Deletes the documents it still holds.
  virtual ~CDocTemplate();
  CDocTemplate(const CDocTemplate&) = delete;
  CDocTemplate& operator=(const CDocTemplate&) = delete;

  UINT GetResourceId() const { return m_nIDResource; }
  // One line of the document string; FALSE (and empty) when it has none.
  BOOL GetDocString(CString& text, DocStringIndex index) const;

  virtual POSITION GetFirstDocPosition() const = 0;
  virtual CDocument* GetNextDoc(POSITION& pos) const = 0;
  // Registers the document with the template.
  virtual void AddDocument(CDocument* doc);
  virtual void RemoveDocument(CDocument* doc);
  virtual CDocument* OpenDocumentFile(const char* path, BOOL makeVisible = TRUE) = 0;
  // The title of a document that has none: the document string's file-new
  // name, else "Untitled".
  virtual void SetDefaultTitle(CDocument* doc);

  // A new document, registered with this template; null when it cannot be
  // made.
  virtual CDocument* CreateNewDocument();
  // A new frame for doc, with its view, not yet shown; null on failure
  // (the frame is gone again).
  virtual CFrameWnd* CreateNewFrame(CDocument* doc, CFrameWnd* other);
  // Runs the views' initial update, makes the frame the active one and
  // shows it when makeVisible is set.
  virtual void InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible = TRUE);

 protected:
  UINT m_nIDResource;
  std::function<CDocument*()> m_newDocument;
  std::function<CFrameWnd*()> m_newFrame;
  std::function<CView*()> m_newView;
};

class CSingleDocTemplate : public CDocTemplate {
 public:
  using CDocTemplate::CDocTemplate;
  ~CSingleDocTemplate() override;

  POSITION GetFirstDocPosition() const override;
  CDocument* GetNextDoc(POSITION& pos) const override;
  void AddDocument(CDocument* doc) override;
  void RemoveDocument(CDocument* doc) override;
  // Opens a new (path null) document: the first time it creates the
  // document, the frame and the view; later it asks the document to save
  // its changes (SaveModified) and reuses all three.  Opening from a file
  // is not supported: a path gives null.  The frame becomes the
  // application's main window.
  CDocument* OpenDocumentFile(const char* path, BOOL makeVisible = TRUE) override;

 protected:
  // The only document and a frame for it: the existing document (once
  // SaveModified lets it go on) in the main window, or a new document in a
  // new frame.  False when SaveModified refuses or either cannot be made
  // (that failure shown, and a document made here deleted again).
  bool PrepareOnlyDocument(CDocument** doc, CFrameWnd** frame, bool* frameCreated);

  CDocument* m_pOnlyDoc = nullptr;
};
