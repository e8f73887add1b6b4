#include "common/multises.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/servercall.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "s100/deif.h"

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

// The set as exact text (keys and symbols by number), or empty when it
// cannot be written.
std::string ExactText(CTkvs set) {
  QV_RawDataElement element{};
  element.type = CT_TYPE_KVSET;
  element.value.kvs = set;
  char* text = nullptr;
  if (DEtoA(&element, &text, nullptr, nullptr) != QV_OK || text == nullptr) return std::string();
  std::string result(text);
  std::free(text);
  return result;
}

// Whether the server holds the profile with exactly the content sent.
bool StoredAsSent(ECTF_AdminSession* session, const QV_String& name, const QV_String& profileClass, CTkvs sent) {
  CTkvs stored = 0;
  if (CTkvs_Create(&stored, nullptr) != 1) return false;
  bool same = false;
  if (session->GetProfile(name, profileClass, stored)) {
    const std::string want = ExactText(sent);
    same = !want.empty() && want == ExactText(stored);
  }
  CTkvs_Destroy(stored, nullptr);
  return same;
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

bool MultiAdminSession::RunRequest(uint32_t textId, const QV_String& first, const QV_String& second,
                                   const std::function<void()>& request) {
  if (m_bRunning) {
    // A request from inside another one's wait would share its session
    // with the worker: refused as cancelled.
    m_bCancelled = 1;
    return false;
  }
  m_bCancelled = 0;
  CT_CancelToken token;
  const auto work = [&] {
    CT_SetThreadCancelToken(&token);
    request();
    CT_SetThreadCancelToken(nullptr);
  };
  bool finished = true;
  if (m_pRunner) {
    const auto text = [](const QV_String& t) { return t.Length() > 0 ? std::string(t, t.Length()) : std::string(); };
    std::vector<std::string> args{text(first)};
    if (second.Length() > 0) args.push_back(text(second));
    m_bRunning = 1;
    finished = m_pRunner->Run(textId, args, work, [&token] { token.Cancel(); });
    m_bRunning = 0;
  } else {
    work();
  }
  if (finished && !token.IsCancelled()) return true;
  // The session's state on the server is unknown: close it without asking
  // the server (the cancelled token is still this thread's), so that the
  // next request opens a fresh one.
  token.Cancel();
  CT_SetThreadCancelToken(&token);
  LogOffAllSessions();
  CT_SetThreadCancelToken(nullptr);
  m_bCancelled = 1;
  return false;
}

bool MultiAdminSession::TranslationNeedsServer(const QV_String& server) const {
  return !m_pSession || server != m_strServer || !m_bSymbolsLoaded;
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
  return LoadProfile(server, name, profileClass, set, nullptr);
}

int32_t MultiAdminSession::SaveProfile(const QV_String& server, const QV_String& profileClass,
                                       const QV_String& name, CTkvs set, int32_t update) {
  return SaveProfile(server, profileClass, name, set, update, 0, nullptr);
}

int32_t MultiAdminSession::GetProfileList(const QV_String& server, const QV_String& profileClass, QV_String** names,
                                          QV_String** classes, int32_t* count) {
  // The caller frees what it is given; never leave it anything undefined.
  *names = nullptr;
  *classes = nullptr;
  *count = 0;
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  const bool finished = RunRequest(IDS_PROGRESS_PROFILE_LIST, server, QV_String(), [&] {
    result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
      return s->GetProfileList(profileClass, names, classes, count);
    });
  });
  if (!finished) {
    // Nothing half-listed reaches the caller.
    delete[] *names;
    delete[] *classes;
    *names = nullptr;
    *classes = nullptr;
    *count = 0;
    result = 0;
  }
  if (result < 0) return 0;
  if (!result) m_nLastError = IDS_ADM_LIST_FAILED;
  return result;
}

int32_t MultiAdminSession::ListRevisions(const QV_String& server, const QV_String& name,
                                         const QV_String& profileClass, std::vector<CT_RevisionInfo>* revisions) {
  revisions->clear();
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  const bool finished = RunRequest(IDS_PROGRESS_WAITING, server, QV_String(), [&] {
    result = CallWithReconnect(
        server, &session, [&](ECTF_AdminSession* s) { return s->ListRevisions(name, profileClass, revisions); });
  });
  if (!finished) {
    revisions->clear();
    result = 0;
  }
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_HISTORY_FAILED;
  return 0;
}

int32_t MultiAdminSession::GetRevision(const QV_String& server, const QV_String& name, const QV_String& profileClass,
                                       uint64_t revision, CTkvs set) {
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  const bool finished = RunRequest(IDS_PROGRESS_WAITING, server, QV_String(), [&] {
    result = CallWithReconnect(
        server, &session, [&](ECTF_AdminSession* s) { return s->GetRevision(name, profileClass, revision, set); });
  });
  if (!finished) result = 0;
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

template <class Lookup>
int32_t MultiAdminSession::Translate(const QV_String& server, uint32_t failureId, Lookup lookup) {
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  const auto translate = [&] {
    result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
      EnsureSymbols(s);
      return lookup(s);
    });
  };
  // With the table loaded a translation is a look-up: no wait, no window.
  if (!TranslationNeedsServer(server)) {
    m_bCancelled = 0;
    translate();
  } else if (!RunRequest(IDS_PROGRESS_SYMBOLS, server, QV_String(), translate)) {
    result = 0;
  }
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = failureId;
  return 0;
}

int32_t MultiAdminSession::SymbolToName(const QV_String& server, uint32_t symbol, QV_String* name) {
  return Translate(server, IDS_ADM_SYMBOL_TO_NAME_FAILED,
                   [&](ECTF_AdminSession* s) { return s->SymbolToName(symbol, name); });
}

int32_t MultiAdminSession::NameToSymbol(const QV_String& server, const QV_String& name, uint32_t* symbol) {
  return Translate(server, IDS_ADM_NAME_TO_SYMBOL_FAILED,
                   [&](ECTF_AdminSession* s) { return s->NameToSymbol(name, symbol); });
}

void MultiAdminSession::LogOffAllSessions() {
  delete m_pSession;
  m_pSession = nullptr;
}

void MultiAdminSession::LogOffAllSessionsWithin(uint32_t waitMs) {
  if (!m_pSession) return;
  CT_CancelToken token;
  std::mutex mutex;
  std::condition_variable closed;
  bool done = false;
  // Abandons the close (the call returns at once) when the server has not
  // answered in time.
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!closed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return done; })) token.Cancel();
  });
  CT_CancelToken* const previous = CT_ThreadCancelToken();
  CT_SetThreadCancelToken(&token);
  LogOffAllSessions();
  CT_SetThreadCancelToken(previous);
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  closed.notify_one();
  watchdog.join();
}

// ---- Conflict-safe loads and stores ----------------------------------------

int32_t MultiAdminSession::LoadProfile(const QV_String& server, const QV_String& name,
                                       const QV_String& profileClass, CTkvs set, CT_ProfileVersion* version) {
  if (version != nullptr) *version = CT_ProfileVersion{};
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  // The symbol table comes with the profile: the tree built next needs it,
  // and so the whole wait is one that the user can cancel.
  const bool finished = RunRequest(IDS_PROGRESS_RETRIEVE, name, server, [&] {
    // Without a version to give, the plain call, as ever.
    result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
      return version != nullptr ? s->GetProfile(name, profileClass, set, version) : s->GetProfile(name, profileClass, set);
    });
    if (result > 0 && m_pSession) EnsureSymbols(m_pSession);
  });
  if (!finished) result = 0;
  if (result < 0) return 0;
  if (result) return 1;
  m_nLastError = IDS_ADM_RETRIEVE_FAILED;
  return 0;
}

int32_t MultiAdminSession::SaveProfile(const QV_String& server, const QV_String& profileClass,
                                       const QV_String& name, CTkvs set, int32_t update, uint64_t expectedRevision,
                                       uint64_t* newRevision) {
  m_bRevisionConflict = 0;
  uint64_t written = 0;
  if (newRevision != nullptr) *newRevision = 0;
  ECTF_AdminSession* session = nullptr;
  int32_t result = 0;
  // An add that failed on the way back may have been stored all the same;
  // when its retry then finds the name taken, the profile under that name
  // decides: exactly what was sent is our own add.  A conditional update
  // retried the same way finds its own revision in place: the same test.
  bool mayHaveStored = false;
  uint32_t callError = 0;
  const bool finished = RunRequest(IDS_PROGRESS_STORE, name, server, [&] {
    result = CallWithReconnect(server, &session, [&](ECTF_AdminSession* s) {
      // Without a revision to expect or to report, the plain calls, as ever.
      const bool revisions = expectedRevision != 0 || newRevision != nullptr;
      bool ok = false;
      if (update)
        ok = (revisions ? s->UpdateProfile(name, profileClass, set, expectedRevision, &written)
                        : s->UpdateProfile(name, profileClass, set)) != 0;
      else
        ok = (revisions ? s->AddProfile(name, profileClass, set, &written) : s->AddProfile(name, profileClass, set)) != 0;
      if (ok) return 1;
      callError = s->LastError();
      const uint32_t taken = update ? ct::kErrRevisionConflict : ct::kErrNameExists;
      if (mayHaveStored && callError == taken && StoredAsSent(s, name, profileClass, set)) {
        // Ours, written by the lost attempt: its revision is the current one.
        CT_ProfileVersion version{};
        CTkvs current = 0;
        if (CTkvs_Create(&current, nullptr) == 1) {
          if (s->GetProfile(name, profileClass, current, &version)) written = version.revision;
          CTkvs_Destroy(current, nullptr);
        }
        callError = 0;
        return 1;
      }
      // A connection lost after the request went out reads as either.
      mayHaveStored = callError == ct::kErrConnect || callError == ct::kErrTransport;
      return 0;
    });
  });
  if (!finished) {
    // Abandoned: whatever the server made of it, the store has not been
    // confirmed.
    m_nLastError = update ? IDS_ADM_UPDATE_FAILED : IDS_ADM_STORE_FAILED;
    return 0;
  }
  if (result < 0) return 0;
  if (result && newRevision != nullptr) *newRevision = written;
  if (update) {
    if (!result && session && callError == ct::kErrRevisionConflict) {
      m_bRevisionConflict = 1;
      m_nLastError = IDS_ADM_REVISION_CONFLICT;
    } else if (!result) {
      m_nLastError = IDS_ADM_UPDATE_FAILED;
    }
    return result;
  }
  if (result) {
    m_nLastError = IDS_ADM_NO_ERROR;
  } else if (session && callError == ct::kErrNameExists) {
    m_nLastError = IDS_ADM_NAME_EXISTS;
  } else if (session && callError == ct::kErrInvalidName) {
    m_nLastError = IDS_ADM_INVALID_NAME;
  } else {
    m_nLastError = IDS_ADM_STORE_FAILED;
  }
  return result;
}
