// CStoreConflictBox: shown when a Store finds that the profile changed on
// the server since it was retrieved.  It tells when the server's content
// was written and how many changes each side made, and lets the user merge
// the server's changes into the profile, overwrite them, or cancel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/cdialog.h"

class CStoreConflictBox : public CDialog {
 public:
  enum { IDD = 20610 };
  enum {
    IDC_HEADLINE = 20611,
    IDC_WHEN = 20612,
    IDC_MINE = 20613,
    IDC_THEIRS = 20614,
    IDC_BOTH = 20615,
    IDC_MERGE = 20617,
    IDC_OVERWRITE = 20618
  };
  // What DoModal gives for the two choices besides IDCANCEL.
  enum { kMerge = 100, kOverwrite = 101 };

  explicit CStoreConflictBox(CWnd* parent = nullptr);

  // In: when the server's content was written (0: not known) and the counts.
  int64_t m_nTheirTimeMs = 0;
  size_t m_nMine = 0;
  size_t m_nTheirs = 0;
  size_t m_nBoth = 0;

 protected:
  void BuildDialog() override;
  BOOL OnInitDialog() override;
};
