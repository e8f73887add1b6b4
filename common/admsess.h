// One open administration session with one CT server: the runtime's
// session, administration and symbol calls behind member functions that
// take and give QV_String texts and key-value sets, remember the outcome of
// the last call and unpack the replies into plain arrays.
#pragma once

#include <cstdint>
#include <vector>

#include "common/ctstring.h"
#include "s100/ctcontainers.h"
#include "s100/ctruntime.h"

class ECTF_AdminSession {
 public:
  // Opens a session with the named server; IsOK() tells whether it worked.
  explicit ECTF_AdminSession(const QV_String& server);
  ~ECTF_AdminSession();
  ECTF_AdminSession(const ECTF_AdminSession&) = delete;
  ECTF_AdminSession& operator=(const ECTF_AdminSession&) = delete;

  int32_t IsOK() const { return m_nStatus == 1; }
  uint32_t LastError() const { return m_nLastError; }

  int32_t AddProfile(const QV_String& name, const QV_String& profileClass, CTkvs set);
  int32_t UpdateProfile(const QV_String& name, const QV_String& profileClass, CTkvs set);
  int32_t RemoveProfile(const QV_String& name, const QV_String& profileClass);
  // Conditional writes: with expectedRevision not 0 the server writes only
  // over that current revision, otherwise nothing is written and LastError()
  // is 0x0160046A.  *newRevision (may be null) is the revision written.
  int32_t AddProfile(const QV_String& name, const QV_String& profileClass, CTkvs set, uint64_t* newRevision);
  int32_t UpdateProfile(const QV_String& name, const QV_String& profileClass, CTkvs set, uint64_t expectedRevision,
                        uint64_t* newRevision);
  int32_t RemoveProfile(const QV_String& name, const QV_String& profileClass, uint64_t expectedRevision);
  int32_t ImportProfile(const QV_String& name, const QV_String& profileClass, const QV_String& file);
  int32_t ExportProfile(const QV_String& name, const QV_String& profileClass, const QV_String& file);

  int32_t AddService(const QV_String& name, CTkvs set);
  int32_t UpdateService(const QV_String& name, CTkvs set);
  int32_t RemoveService(const QV_String& name);
  // A failure of these two leaves the last error at "nothing specific".
  int32_t StartService(const QV_String& name);
  int32_t StopService(const QV_String& name, uint32_t value);

  // The level is stored in *level whenever the call could be made.
  int32_t GetServerLevel(int32_t* level);
  int32_t ChangeServerLevel(int32_t level, uint32_t value);

  // On success the reply set is copied into the caller's set.
  int32_t GetProfileInfo(const QV_String& name, const QV_String& profileClass, int32_t one, CTkvs set);
  int32_t LoadSymbolTable();

  // The content of one profile into the caller's set; a profile the server
  // does not have fails with 0x01600436.
  int32_t GetProfile(const QV_String& name, const QV_String& profileClass, CTkvs set);
  // The same, with the revision of the content read and when it was written
  // (version may be null).
  int32_t GetProfile(const QV_String& name, const QV_String& profileClass, CTkvs set, CT_ProfileVersion* version);

  // All profiles of a class (empty: all).  The arrays are allocated with
  // new[] and owned by the caller; with no profile they are null and the
  // count 0, and that is success.
  int32_t GetProfileList(const QV_String& profileClass, QV_String** names, QV_String** classes, int32_t* count);
  int32_t GetServiceStates(QV_String** names, uint32_t** states, uint32_t** modes, int32_t** running,
                           int32_t* count);
  int32_t GetSPList(QV_String** names, int32_t** running, int32_t* count);

  // The revisions the server keeps of a profile, newest first; the first is
  // the current content.
  int32_t ListRevisions(const QV_String& name, const QV_String& profileClass, std::vector<CT_RevisionInfo>* revisions);
  // The content of one revision into the caller's set.
  int32_t GetRevision(const QV_String& name, const QV_String& profileClass, uint64_t revision, CTkvs set);

  int32_t NameToSymbol(const QV_String& name, uint32_t* symbol);
  // On failure the name is left as it was.
  int32_t SymbolToName(uint32_t symbol, QV_String* name);

 private:
  // Creates the reply set, makes the call with a prepared reply record,
  // takes its error code on failure and destroys the reply set.
  template <class Call>
  int32_t StandardCall(Call call, bool copyError = true);
  // For the calls that answer in a reply set and an information set: makes
  // both, makes the call (record, info) and takes its error code on failure
  // (with noneIsEmpty, "nothing found" is an empty answer instead), lets
  // `unpack` (reply, info) read a successful answer, and destroys both sets.
  template <class Call, class Unpack>
  int32_t InfoCall(Call call, Unpack unpack, bool noneIsEmpty);

  CTses m_hSession;
  int32_t m_nStatus;
  uint32_t m_nLastError;
  int32_t m_bOpen;
};
