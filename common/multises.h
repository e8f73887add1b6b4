// The editor's single door to the CT servers.  Every request names its
// server; the object keeps one administration session open with the server
// of the latest request (a request for another server closes it and opens
// a new one), loads that server's symbol table on the first translation,
// and turns each failure into the string-table id of the message to show.
#pragma once

#include <cstdint>
#include <vector>

#include "common/admsess.h"
#include "common/ctstring.h"
#include "s100/ctcontainers.h"

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
  // Closes the open session; the next request opens a new one.
  void LogOffAllSessions();
  uint32_t LastError() const { return m_nLastError; }

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

  int32_t m_bSymbolsLoaded;
  ECTF_AdminSession* m_pSession;
  QV_String m_strServer;
  uint32_t m_nLastError;
};
