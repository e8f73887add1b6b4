#include "common/multises.h"

#include <new>

#include "s100/cterrors.h"

// Before any failure the last error reads "could not connect": the only way
// the editor reads it without a failure having set it is when a session
// object could not even be allocated, and then no session was opened.
namespace {
// Whether a failed call on a session that had been open before shows that
// the server no longer knows the session (it was restarted) or could not
// be reached: the call is then worth one more try on a fresh session.
// Errors after which the request may have been carried out are not.
bool SessionLost(const ECTF_AdminSession* session) {
  const uint32_t code = session->LastError();
  return code == ct::kErrNoSession || code == ct::kErrConnect || code == ct::kErrTransport;
}
}  // namespace

template <class Call>
int32_t MultiAdminSession::CallWithReconnect(const QV_String& server, ECTF_AdminSession** used, Call call) {
  const bool reused = m_pSession != nullptr && server == m_strServer;
  ECTF_AdminSession* session = SelectServer(server);
  *used = session;
  if (!session) return -1;
  int32_t result = call(session);
  if (!result && reused && SessionLost(session)) {
    LogOffAllSessions();
    session = SelectServer(server);
    *used = session;
    // Still unreachable: the call's own failure is what the caller reports.
    if (!session) return 0;
    result = call(session);
  }
  return result;
}

MultiAdminSession::MultiAdminSession()
    : m_bSymbolsLoaded(0), m_pSession(nullptr), m_strServer(), m_nLastError(IDS_ADM_COULD_NOT_CONNECT) {}

MultiAdminSession::~MultiAdminSession() { LogOffAllSessions(); }

ECTF_AdminSession* MultiAdminSession::SelectServer(const QV_String& server) {
  if (server != m_strServer && m_pSession) {
    delete m_pSession;
    m_pSession = nullptr;
  }
  if (m_pSession) return m_pSession;

  m_pSession = new (std::nothrow) ECTF_AdminSession(server);
  m_bSymbolsLoaded = 0;
  if (!m_pSession) return nullptr;
  if (m_pSession->IsOK()) {
    m_strServer = server;
    return m_pSession;
  }
  m_strServer = "";
  delete m_pSession;
  m_pSession = nullptr;
  m_nLastError = IDS_ADM_COULD_NOT_CONNECT;
  return nullptr;
}

int32_t MultiAdminSession::LoadProfile(const QV_String& server, const QV_String& name,
                                       const QV_String& profileClass, CTkvs set) {
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(
      server, &session, [&](ECTF_AdminSession* s) { return s->GetProfile(name, profileClass, set); });
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_RETRIEVE_FAILED;
  return 0;
}

int32_t MultiAdminSession::SaveProfile(const QV_String& server, const QV_String& profileClass,
                                       const QV_String& name, CTkvs set, int32_t update) {
  ECTF_AdminSession* session = nullptr;
  if (update) {
    const int32_t result = CallWithReconnect(
        server, &session, [&](ECTF_AdminSession* s) { return s->UpdateProfile(name, profileClass, set); });
    if (result < 0) return 0;
    if (!result) m_nLastError = IDS_ADM_UPDATE_FAILED;
    return result;
  }
  const int32_t result = CallWithReconnect(
      server, &session, [&](ECTF_AdminSession* s) { return s->AddProfile(name, profileClass, set); });
  if (result < 0) return 0;
  if (result) {
    m_nLastError = IDS_ADM_NO_ERROR;
  } else if (session && session->LastError() == ct::kErrNameExists) {
    m_nLastError = IDS_ADM_NAME_EXISTS;
  } else if (session && session->LastError() == ct::kErrInvalidName) {
    m_nLastError = IDS_ADM_INVALID_NAME;
  } else {
    m_nLastError = IDS_ADM_STORE_FAILED;
  }
  return result;
}

int32_t MultiAdminSession::GetProfileList(const QV_String& server, const QV_String& profileClass, QV_String** names,
                                          QV_String** classes, int32_t* count) {
  // The caller frees what it is given; never leave it anything undefined.
  *names = nullptr;
  *classes = nullptr;
  *count = 0;
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
    return s->GetProfileList(profileClass, names, classes, count);
  });
  if (result < 0) return 0;
  if (!result) m_nLastError = IDS_ADM_LIST_FAILED;
  return result;
}

int32_t MultiAdminSession::ListRevisions(const QV_String& server, const QV_String& name,
                                         const QV_String& profileClass, std::vector<CT_RevisionInfo>* revisions) {
  revisions->clear();
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(
      server, &session, [&](ECTF_AdminSession* s) { return s->ListRevisions(name, profileClass, revisions); });
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_HISTORY_FAILED;
  return 0;
}

int32_t MultiAdminSession::GetRevision(const QV_String& server, const QV_String& name, const QV_String& profileClass,
                                       uint64_t revision, CTkvs set) {
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(
      server, &session, [&](ECTF_AdminSession* s) { return s->GetRevision(name, profileClass, revision, set); });
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_REVISION_FAILED;
  return 0;
}

void MultiAdminSession::EnsureSymbols(ECTF_AdminSession* session) {
  if (m_bSymbolsLoaded) return;
  session->LoadSymbolTable();
  m_bSymbolsLoaded = 1;
}

int32_t MultiAdminSession::SymbolToName(const QV_String& server, uint32_t symbol, QV_String* name) {
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
    EnsureSymbols(s);
    return s->SymbolToName(symbol, name);
  });
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_SYMBOL_TO_NAME_FAILED;
  return 0;
}

int32_t MultiAdminSession::NameToSymbol(const QV_String& server, const QV_String& name, uint32_t* symbol) {
  ECTF_AdminSession* session = nullptr;
  const int32_t result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
    EnsureSymbols(s);
    return s->NameToSymbol(name, symbol);
  });
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_NAME_TO_SYMBOL_FAILED;
  return 0;
}

void MultiAdminSession::LogOffAllSessions() {
  delete m_pSession;
  m_pSession = nullptr;
}
