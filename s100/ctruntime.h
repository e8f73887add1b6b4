// The client runtime's session, administration and symbol calls.
//
// Every call returns 1 on success and something else on failure.  Calls that
// take a reply record put the error code of a failure into its word 9 (the
// codes of s100/cterrors.h); the others write it into their error word.  The
// runtime finds a server by its name in the known-servers key of the
// registry (docs/runtime.md) and reaches it over gRPC, or runs the server
// core in-process for an `embedded:` server.
//
// No call waits without a limit: opening a session fails within the connect
// timeout, every other call within the call timeout (both from the registry,
// defaults 5 s and 30 s).  Every call is safe to make from several threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "s100/ctcontainers.h"

using CTses = uint32_t;  // session handle; 0 is never a session

// The 13-word reply record given to most calls.  The caller sets `size` to 52
// and `replySet` to a set it created; the call fills the set with what it
// answers and, on failure, sets `error`.
struct CT_ReplyRecord {
  uint32_t size;          // word 0: 52
  CTkvs replySet;         // word 1: the reply set
  uint32_t reserved[7];   // words 2 to 8
  uint32_t error;         // word 9: the error code of a failed call
  uint32_t reserved2[3];  // words 10 to 12
};
static_assert(sizeof(CT_ReplyRecord) == 52, "the reply record is 13 words");

inline constexpr uint32_t CT_REPLY_RECORD_SIZE = 52;

// Prepares a reply record for a call: size 52, the reply set, every other
// word zero.
inline CT_ReplyRecord CT_MakeReplyRecord(CTkvs replySet) {
  CT_ReplyRecord r{};
  r.size = CT_REPLY_RECORD_SIZE;
  r.replySet = replySet;
  return r;
}

// Keys of the options, reply and information sets.
inline constexpr CTsymbol CT_KEY_SERVER_NAME = 0x00D00400;       // options: the server name (string)
inline constexpr CTsymbol CT_KEY_PROFILE_NAMES = 0x0110080D;     // string array
inline constexpr CTsymbol CT_KEY_PROFILE_CLASSES = 0x0110080E;   // string array, parallel to the names
inline constexpr CTsymbol CT_KEY_PROFILE_CONTENTS = 0x0110080F;  // KVSet array (information set, one profile)
inline constexpr CTsymbol CT_KEY_SERVICE_NAMES = 0x01100810;     // string array
inline constexpr CTsymbol CT_KEY_SERVICE_STATES = 0x0110082E;    // symbol array
inline constexpr CTsymbol CT_KEY_SERVICE_MODES = 0x0110091E;     // symbol array
inline constexpr CTsymbol CT_KEY_SERVICE_RUNNING = 0x01100922;   // bool array
inline constexpr CTsymbol CT_KEY_PROCESS_RUNNING = 0x01100819;   // bool array
inline constexpr CTsymbol CT_KEY_PROCESS_NAMES = 0x0110081A;     // string array

// The longest symbol name the runtime hands out, with its terminator.
inline constexpr uint32_t CT_SYMBOL_NAME_BUFFER = 2048;

// ---- Runtime ----
// Counted: every CT_Initialize needs one CT_Shutdown; the last one closes
// the sessions still open and releases the embedded servers.
int CT_Initialize(uint32_t* err);
int CT_Shutdown(uint32_t* err);

// A readable text for an error code (never null).
const char* CT_ErrorText(uint32_t code);

// ---- Abandoning calls ----
// A token through which one thread abandons the calls that another thread
// makes for it.  While a token is a thread's current one
// (CT_SetThreadCancelToken), Cancel(), from any thread, makes the call in
// flight on that thread return at once and every later call under the token
// fail at once, both with kErrCancelled, without waiting for the server.  A
// session whose call was abandoned is abandoned too: its state on the server
// is unknown, so its later calls fail with kErrCancelled and closing it does
// not contact the server; the caller opens a new session.
class CT_CancelToken {
 public:
  CT_CancelToken() = default;
  CT_CancelToken(const CT_CancelToken&) = delete;
  CT_CancelToken& operator=(const CT_CancelToken&) = delete;

  void Cancel();
  bool IsCancelled() const;

  // For the transports: abort runs (once) when the token is cancelled while
  // the call is in flight, at once when it is cancelled already.  After
  // Unwatch(id) it does not run any more.
  uint64_t Watch(std::function<void()> abort);
  void Unwatch(uint64_t id);

 private:
  mutable std::mutex m_mutex;
  bool m_bCancelled = false;
  uint64_t m_nNextWatch = 1;
  std::map<uint64_t, std::function<void()>> m_aborts;
};

// The token of the calls the calling thread makes from now on; null for
// none.  The caller keeps the token alive while it is current.
void CT_SetThreadCancelToken(CT_CancelToken* token);
CT_CancelToken* CT_ThreadCancelToken();

// ---- Sessions ----
// The options set names the server under CT_KEY_SERVER_NAME.
int CTses_Create(CTses* session, const char* application, uint32_t zero, CTkvs options, CT_ReplyRecord* reply,
                 uint32_t zero2);
// Closes the session; the handle is gone afterwards even when the server
// could not be told.
int CTses_Destroy(CTses session, CTkvs options, CT_ReplyRecord* reply, uint32_t zero);

// ---- Symbol table of a session ----
int CTsym_LoadTable(CTses session, CT_ReplyRecord* reply, uint32_t zero);
int CTsym_UnloadTable(CTses session, uint32_t* err);
int CTsym_NameToSymbol(CTses session, const char* name, CTsymbol* symbol, uint32_t* err);
// Writes the terminated name into the buffer; fails with kErrBufferTooSmall,
// leaving the buffer untouched, when the name and its terminator do not fit.
int CTsym_SymbolToName(CTses session, CTsymbol symbol, char* buffer, uint32_t length, uint32_t* err);
// The loaded table in ascending order of value: its size, and one entry.
int CTsym_GetCount(CTses session, uint32_t* count, uint32_t* err);
int CTsym_GetEntry(CTses session, uint32_t index, CTsymbol* symbol, char* buffer, uint32_t length, uint32_t* err);

// ---- Profiles ----
// one != 0: the profile `name` of `profileClass`, with its content; one == 0:
// every profile of the class (empty class: all).  Names and classes go into
// the reply set and the information set; contents into the information set.
int CTadm_GetProfileInfo(CTses session, const char* name, const char* profileClass, int32_t one, CTkvs info,
                         CT_ReplyRecord* reply, uint32_t zero);
int CTadm_AddProfile(CTses session, const char* name, const char* profileClass, CTkvs profile,
                     CT_ReplyRecord* reply, uint32_t zero);
int CTadm_UpdateProfile(CTses session, const char* name, const char* profileClass, CTkvs profile,
                        CT_ReplyRecord* reply, uint32_t zero);
int CTadm_RemoveProfile(CTses session, const char* name, const char* profileClass, CT_ReplyRecord* reply,
                        uint32_t zero);
// The revision of a profile's current content and when it was written.
struct CT_ProfileVersion {
  uint64_t revision;
  int64_t timeUnixMs;
};
// CTadm_GetProfileInfo with one = 1, and the version of the content read
// (version may be null).
int CTadm_GetProfileEx(CTses session, const char* name, const char* profileClass, CTkvs info,
                       CT_ProfileVersion* version, CT_ReplyRecord* reply, uint32_t zero);
// Add; *newRevision (may be null) is the revision the new profile has.
int CTadm_AddProfileEx(CTses session, const char* name, const char* profileClass, CTkvs profile,
                       uint64_t* newRevision, CT_ReplyRecord* reply, uint32_t zero);
// Update only when the current revision is expectedRevision (0: always);
// otherwise nothing is written and the call fails with kErrRevisionConflict.
// *newRevision (may be null) after success.
int CTadm_UpdateProfileEx(CTses session, const char* name, const char* profileClass, CTkvs profile,
                          uint64_t expectedRevision, uint64_t* newRevision, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_RemoveProfileEx(CTses session, const char* name, const char* profileClass, uint64_t expectedRevision,
                          CT_ReplyRecord* reply, uint32_t zero);

// A change of one watched profile.  error != 0: the watch has ended (server
// gone, session closed, profile class unknown...) and no more events come.
struct CT_ProfileEvent {
  uint64_t revision;
  int64_t timeUnixMs;
  int32_t removed;
  uint32_t error;
};
using CT_WatchCallback = std::function<void(const CT_ProfileEvent&)>;
using CT_WatchHandle = uint64_t;
// Starts watching a profile of the session's server.  The callback runs on
// a runtime thread (never the caller's), first once with the current
// revision (removed = 1 when there is no such profile), then once per write
// (update, add, remove, restore, import) by anyone, in order.  Never blocks
// the caller on the network: the watch reaches the server after the call
// returns, and its first event tells the state from which on every write is
// seen.
int CTadm_WatchProfile(CTses session, const char* name, const char* profileClass, CT_WatchCallback callback,
                       CT_WatchHandle* handle, uint32_t* err);
// Ends a watch; when it returns the callback is not running and will not run
// again.  Safe to call from any thread except from inside the callback
// (refused there with kErrInvalidArgument); destroying the session ends its
// watches too (their handles are then unknown: kErrNotFound).
int CTadm_Unwatch(CT_WatchHandle handle, uint32_t* err);

// Import reads, export writes a profile as text in a file under the
// server's data folder.
int CTadm_ImportProfile(CTses session, const char* name, const char* profileClass, const char* file,
                        CT_ReplyRecord* reply, uint32_t zero);
int CTadm_ExportProfile(CTses session, const char* name, const char* profileClass, const char* file,
                        CT_ReplyRecord* reply, uint32_t zero);

// Revisions of a profile, newest first (the first is the current content).
struct CT_RevisionInfo {
  uint64_t revision;
  int64_t timeUnixMs;
  int32_t current;
};
int CTadm_ListRevisions(CTses session, const char* name, const char* profileClass,
                        std::vector<CT_RevisionInfo>* revisions, CT_ReplyRecord* reply, uint32_t zero);
// The content of one revision into the caller's set.
int CTadm_GetRevision(CTses session, const char* name, const char* profileClass, uint64_t revision,
                      CTkvs content, CT_ReplyRecord* reply, uint32_t zero);
// Makes an old revision's content current again; *newRevision (may be null)
// is the revision that holds it now.
int CTadm_RestoreRevision(CTses session, const char* name, const char* profileClass, uint64_t revision,
                          uint64_t* newRevision, CT_ReplyRecord* reply, uint32_t zero);

// ---- Services ----
int CTadm_AddService(CTses session, const char* name, CTkvs config, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_UpdateService(CTses session, const char* name, CTkvs config, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_RemoveService(CTses session, const char* name, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_StartService(CTses session, const char* name, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_StopService(CTses session, const char* name, uint32_t value, CT_ReplyRecord* reply, uint32_t zero);
// Empty name: every service.  Names, states, modes and running flags go into
// the reply set and the information set.
int CTadm_GetServiceState(CTses session, const char* name, CTkvs info, CT_ReplyRecord* reply, uint32_t zero);

// ---- Server level and processes ----
int CTadm_GetServerLevel(CTses session, int32_t* level, CT_ReplyRecord* reply, uint32_t zero);
int CTadm_SetTargetServerLevel(CTses session, int32_t level, uint32_t value, CT_ReplyRecord* reply,
                               uint32_t zero);
// Empty name: every process.  Names and running flags go into the reply set
// and the information set.
int CTadm_GetSPInfo(CTses session, const char* name, CTkvs info, CT_ReplyRecord* reply, uint32_t zero);
