// The editor's single door to the CT servers.  Every request names its
// server; the object keeps one administration session open with the server
// of the latest request (a request for another server closes it and opens
// a new one), loads that server's symbol table on the first translation,
// and turns each failure into the string-table id of the message to show.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/admsess.h"
#include "common/ctstring.h"
#include "s100/ctcontainers.h"

class CServerCallRunner;

// Message ids that LastError() gives.
enum : uint32_t {
  IDS_ADM_COULD_NOT_CONNECT = 16390,
  IDS_ADM_RETRIEVE_FAILED = 16392,
  IDS_ADM_NAME_EXISTS = 16393,
  IDS_ADM_UPDATE_FAILED = 16394,
  IDS_ADM_STORE_FAILED = 16395,
  IDS_ADM_LIST_FAILED = 16396,
  IDS_ADM_NO_ERROR = 16406,
  IDS_ADM_NAME_TO_SYMBOL_FAILED = 16408,
  IDS_ADM_SYMBOL_TO_NAME_FAILED = 16409,
  IDS_ADM_INVALID_NAME = 16412,
  IDS_ADM_HISTORY_FAILED = 16440,
  IDS_ADM_REVISION_FAILED = 16441,
  // A conditional update found another revision on the server; nothing
  // was written.
  IDS_ADM_REVISION_CONFLICT = 4490,
};

// Texts of the progress window that names a request while it waits.
enum : uint32_t {
  IDS_PROGRESS_PROFILE_LIST = 16450,  // "...the list of profiles from <server>..."
  IDS_PROGRESS_RETRIEVE = 16451,      // "Retrieving <name> from <server>..."
  IDS_PROGRESS_STORE = 16452,         // "Storing <name> on <server>..."
  IDS_PROGRESS_SYMBOLS = 16453,       // "...the symbol table of <server>..."
  IDS_PROGRESS_WAITING = 16454,       // "Waiting for <server>..."
};

class MultiAdminSession {
 public:
  MultiAdminSession();
  ~MultiAdminSession();
  MultiAdminSession(const MultiAdminSession&) = delete;
  MultiAdminSession& operator=(const MultiAdminSession&) = delete;

  // Note the order: name then class here, class then name in SaveProfile.
  int32_t LoadProfile(const QV_String& server, const QV_String& name, const QV_String& profileClass, CTkvs set);
  int32_t SaveProfile(const QV_String& server, const QV_String& profileClass, const QV_String& name, CTkvs set,
                      int32_t update);
  // The arrays are allocated with new[]; the caller frees each with delete[].
  int32_t GetProfileList(const QV_String& server, const QV_String& profileClass, QV_String** names,
                         QV_String** classes, int32_t* count);
  // The profile's revisions, newest first (failure: IDS_ADM_HISTORY_FAILED).
  int32_t ListRevisions(const QV_String& server, const QV_String& name, const QV_String& profileClass,
                        std::vector<CT_RevisionInfo>* revisions);
  // One revision's content into the set (failure: IDS_ADM_REVISION_FAILED).
  int32_t GetRevision(const QV_String& server, const QV_String& name, const QV_String& profileClass,
                      uint64_t revision, CTkvs set);
  int32_t SymbolToName(const QV_String& server, uint32_t symbol, QV_String* name);
  int32_t NameToSymbol(const QV_String& server, const QV_String& name, uint32_t* symbol);
  // --- Conflict-safe loads and stores.
  // The same load, with the revision read and when it was written (version
  // may be null).
  int32_t LoadProfile(const QV_String& server, const QV_String& name, const QV_String& profileClass, CTkvs set,
                      CT_ProfileVersion* version);
  // The same store; an update with expectedRevision not 0 writes only over
  // that revision, else fails with IDS_ADM_REVISION_CONFLICT and
  // IsRevisionConflict() true (an add ignores it).  *newRevision (may be
  // null) is the revision written, 0 when unknown.
  int32_t SaveProfile(const QV_String& server, const QV_String& profileClass, const QV_String& name, CTkvs set,
                      int32_t update, uint64_t expectedRevision, uint64_t* newRevision);
  // Whether the latest SaveProfile failed because the server's revision was
  // not the one expected.
  int32_t IsRevisionConflict() const { return m_bRevisionConflict; }

  // Closes the open session; the next request opens a new one.
  void LogOffAllSessions();
  // The same, waiting at most waitMs for the server to confirm the close;
  // after that the session is abandoned and the server lets it expire.
  // For the end of the program, which must not wait on a stalled server.
  void LogOffAllSessionsWithin(uint32_t waitMs);
  uint32_t LastError() const { return m_nLastError; }
  // Back to "could not connect", as before any failure, so that a caller
  // can tell whether the requests it makes next set it.
  void ResetLastError() { m_nLastError = IDS_ADM_COULD_NOT_CONNECT; }

  // Requests that may wait on a server run through the runner (null: on
  // the calling thread).  The caller keeps the runner alive.
  void SetCallRunner(CServerCallRunner* runner) { m_pRunner = runner; }
  // Whether the latest request failed because the user cancelled it.  Its
  // server calls were abandoned and the session closed; LastError() is the
  // request's usual failure, but the user has seen enough: show nothing.
  int32_t Cancelled() const { return m_bCancelled; }

 protected:
  // The open session for that server, opening it when needed; null when no
  // session could be opened.
  ECTF_AdminSession* SelectServer(const QV_String& server);

 private:
  // Runs call on the server's session; when it fails on a session opened
  // earlier because the server lost it (restarted) or could not be reached,
  // opens a fresh session and runs it once more.  -1 when no session could
  // be opened at first (the last error says why); else the call's result
  // (0 when the fresh session could not be opened either).  *used is the
  // session the result came from, or null.
  template <class Call>
  int32_t CallWithReconnect(const QV_String& server, ECTF_AdminSession** used, Call call);
  // Loads the symbol table once per session, whether or not that works.
  void EnsureSymbols(ECTF_AdminSession* session);
  // Runs request (the server calls of one operation) through the runner,
  // its progress text being textId with the arguments.  False when the user
  // cancelled (the calls are abandoned, the session closed, Cancelled()
  // true) or when a request is already running.
  bool RunRequest(uint32_t textId, const QV_String& first, const QV_String& second,
                  const std::function<void()>& request);
  // Whether a translation on that server needs the server (a session to
  // open or a symbol table to load) rather than the loaded table.
  bool TranslationNeedsServer(const QV_String& server) const;
  // One translation on the server's table: a look-up when the table is
  // loaded, else a request behind the progress window.  failureId is the
  // last error when it fails.
  template <class Lookup>
  int32_t Translate(const QV_String& server, uint32_t failureId, Lookup lookup);

  int32_t m_bSymbolsLoaded;
  ECTF_AdminSession* m_pSession;
  QV_String m_strServer;
  uint32_t m_nLastError;
  CServerCallRunner* m_pRunner = nullptr;  // not owned
  int32_t m_bCancelled = 0;
  int32_t m_bRunning = 0;
  // Conflict-safe stores.
  int32_t m_bRevisionConflict = 0;
};
