// CSingleProfileTemplate: creates the profile document, the main frame and
// the view on the first opening and reuses all three for every later
// profile.  Profiles come from servers, never from files: OpenProfile
// replaces the file-based opening.
#pragma once

#include "platform/cdoctemplate.h"

class CQueltDoc;

class CSingleProfileTemplate : public CDocTemplate {
 public:
  CSingleProfileTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                         std::function<CFrameWnd*()> newFrame, std::function<CView*()> newView);
  ~CSingleProfileTemplate() override;

  POSITION GetFirstDocPosition() const override;
  CDocument* GetNextDoc(POSITION& pos) const override;
  void AddDocument(CDocument* doc) override;
  void RemoveDocument(CDocument* doc) override;
  // Always null: there are no profile files.
  CDocument* OpenDocumentFile(const char* path, BOOL makeVisible = TRUE) override;
  // "No Title".
  void SetDefaultTitle(CDocument* doc) override;

  // Makes the one document a new profile (bNew) or loads a stored one into
  // it, after asking it to save its changes.  The document, or null when
  // the user cancelled or the opening failed (the current profile then
  // stays, unless a failed load had already changed it: it becomes new).
  virtual CDocument* OpenProfile(const CString& server, const CString& profileClass, const CString& name, BOOL bNew,
                                 BOOL bMakeVisible);

 protected:
  CDocument* m_pOnlyDoc = nullptr;  // not owned by this field; deleted with the frame
};
