// CRevisionHistoryBox: lists the revisions a server keeps of a profile,
// newest first, with the time each was stored and which one is current,
// and lets the user open one.
#pragma once

#include <cstdint>
#include <vector>

#include "app/cmdids.h"
#include "platform/cdialog.h"
#include "platform/cstring.h"
#include "s100/ctruntime.h"

class CRevisionHistoryBox : public CDialog {
 public:
  enum { IDD = 20600 };
  enum { IDC_REVISIONS = 20601, IDC_COMPARE = 20602 };
  // The columns of the list.
  enum { kColumnRevision, kColumnTime, kColumnState };

  explicit CRevisionHistoryBox(CWnd* parent = nullptr);

  // In: the revisions, newest first.
  std::vector<CT_RevisionInfo> m_revisions;
  // Out (after Open): the index of the chosen revision; -1 for none.
  int m_nChoice = -1;
  // Out: the chosen revision is to be compared with, not opened.
  bool m_bCompare = false;

  // The local time text of a revision's time; "unknown" for 0 (a revision
  // kept from before its time was recorded).
  static CString TimeText(int64_t unixMs);

 protected:
  void BuildDialog() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  // Compare: as Open, but the revision is compared with the open profile.
  void OnCompare();
};
