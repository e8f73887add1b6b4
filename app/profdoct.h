// CSingleProfileTemplate: creates the profile document, the main frame and
// the view on the first opening and reuses all three for every later
// profile.  Profiles come from servers, never from files: OpenProfile
// replaces the file-based opening.
#pragma once

#include "platform/cdoctemplate.h"

class CQueltDoc;

// The one-document bookkeeping is the framework single-document template's.
class CSingleProfileTemplate : public CSingleDocTemplate {
 public:
  CSingleProfileTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                         std::function<CFrameWnd*()> newFrame, std::function<CView*()> newView);

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
};
