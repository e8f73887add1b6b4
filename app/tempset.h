// CTempSet: a key-value set that lives for one operation and is destroyed
// with the object.  It carries a profile between the view, the server and
// files.
#pragma once

#include <cstdint>

#include "s100/ctcontainers.h"

class CWaitCursor;
class CWnd;

class CTempSet {
 public:
  CTempSet() { CTkvs_Create(&m_set, &m_err); }
  ~CTempSet() {
    if (m_set != CT_kvsEmpty) CTkvs_Destroy(m_set, &m_err);
  }
  CTempSet(const CTempSet&) = delete;
  CTempSet& operator=(const CTempSet&) = delete;

  CTkvs Get() const { return m_set; }
  // False when the set could not be created.
  bool Ok() const { return m_set != CT_kvsEmpty; }

 private:
  CTkvs m_set = CT_kvsEmpty;
  uint32_t m_err = 0;
};

// True when set was made; otherwise ends the busy cursor and tells the user
// (in a box owned by parent) that memory ran out.
bool TempSetReady(const CTempSet& set, CWaitCursor& wait, CWnd* parent);
