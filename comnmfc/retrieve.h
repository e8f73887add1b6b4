// The profile-selection dialog of the shared dialog library, and
// CRetrieveBox, the editor's wrapper around it.  The dialog lists display
// entries ("Lines  [ Setup ]") sorted and gives back the one confirmed.
#pragma once

#include <cstdint>

#include "common/ctstring.h"

class CWnd;

// The most entries shown; a longer list is cut at this count.
inline constexpr int32_t kMaxProfileEntries = 1 << 20;

class IRetrieveBox {
 public:
  // entries: count display strings (copied); null or a count below 1 gives
  // an empty list.  parent may be null.
  static IRetrieveBox* Create(const QV_String* entries, int32_t count, CWnd* parent);
  virtual ~IRetrieveBox();

  // 1 (IDOK) when the user confirmed an entry, 2 (IDCANCEL) otherwise.
  virtual int DoModal() = 0;
  // The confirmed entry, byte for byte as given; empty before a confirmed
  // run.
  virtual QV_String GetProfileName() const = 0;
  // The index of the confirmed entry in the caller's array, or -1.  A
  // caller that listed names and classes takes them back by this index,
  // so a blank inside either never splits the choice.
  virtual int32_t GetProfileIndex() const = 0;
};

class CRetrieveBox {
 public:
  CRetrieveBox(const QV_String* entries, int32_t count, CWnd* parent);
  ~CRetrieveBox();
  CRetrieveBox(const CRetrieveBox&) = delete;
  CRetrieveBox& operator=(const CRetrieveBox&) = delete;

  int DoModal();
  QV_String GetProfileName() const;
  int32_t GetProfileIndex() const;

 private:
  IRetrieveBox* m_pRetrieveBox;
};
