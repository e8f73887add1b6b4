// The runtime's calls: a table of open sessions, each with its backend and
// its symbol table, and one function per call that checks its arguments,
// sends one request and unpacks the answer into the caller's sets.
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <thread>
#include <cstring>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "s100/cterrors.h"
#include "s100/ctruntime.h"
#include "s100/runtime_backend.h"
#include "s100/runtime_embedded.h"
#include "s100/runtime_grpc.h"
#include "proto/demessage.h"

using namespace ct;
using ct::runtime::Backend;
namespace pb = ctadmin::v1;

namespace {

constexpr size_t kMaxTextBytes = 64 * 1024;       // a name, class or file argument
constexpr size_t kMaxApplicationBytes = 256;
constexpr size_t kMaxReplyItems = 1000000;        // profiles, services, processes, revisions
constexpr size_t kMaxSymbols = 1 << 20;

struct SymbolTable {
  std::vector<std::pair<CTsymbol, std::string>> entries;  // ascending by value
  std::unordered_map<CTsymbol, uint32_t> byValue;         // value -> index into entries
  std::unordered_map<std::string_view, CTsymbol> byName;  // views into entries
};

struct Session {
  std::mutex mutex;  // one request at a time on a session
  std::unique_ptr<Backend> backend;
  std::string id;
  std::unique_ptr<SymbolTable> table;  // null until loaded
  bool abandoned = false;              // a call was abandoned: the server is not asked again
};

// Whether the calling thread's calls have been abandoned.
bool ThreadCancelled() {
  const CT_CancelToken* token = CT_ThreadCancelToken();
  return token && token->IsCancelled();
}

// One watch: the backend's call queues events, a thread of its own hands
// them to the callback one at a time.
struct Watch {
  struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<pb::ProfileEvent> events;
    bool stop = false;
  };
  CTses session = 0;
  CT_WatchCallback callback;
  std::shared_ptr<Queue> queue = std::make_shared<Queue>();
  std::unique_ptr<runtime::WatchCall> call;
  std::thread deliverer;

  void Deliver() {
    for (;;) {
      pb::ProfileEvent event;
      {
        std::unique_lock<std::mutex> lock(queue->mutex);
        queue->ready.wait(lock, [&] { return queue->stop || !queue->events.empty(); });
        if (queue->stop) return;
        event = std::move(queue->events.front());
        queue->events.pop_front();
      }
      callback(CT_ProfileEvent{event.revision(), event.time_unix_ms(), event.removed() ? 1 : 0, event.error()});
      if (event.error() != 0) return;  // the last one
    }
  }

  // Ends the watch: no event comes in, the callback is not running and will
  // not run again.
  void Stop() {
    if (call) call->Stop();
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->stop = true;
    }
    queue->ready.notify_all();
    if (!deliverer.joinable()) return;
    // Closing the session from inside the callback cannot wait for the
    // callback; the thread ends by itself when the callback returns.
    if (deliverer.get_id() == std::this_thread::get_id()) {
      deliverer.detach();
    } else {
      deliverer.join();
    }
  }
};

struct RuntimeState {
  std::mutex mutex;
  int initCount = 0;
  CTses nextHandle = 1;
  std::unordered_map<CTses, std::shared_ptr<Session>> sessions;
  CT_WatchHandle nextWatch = 1;
  std::unordered_map<CT_WatchHandle, std::shared_ptr<Watch>> watches;
  runtime::BackendFactory factory;
};

// Never destroyed: the application may close sessions from static
// destructors, after this file's statics would be gone.
RuntimeState& State() {
  static RuntimeState* state = new RuntimeState;
  return *state;
}

// The code of a request that succeeded.
constexpr uint32_t kOk = 0;

int SetErr(uint32_t* err, uint32_t code) {
  if (err) *err = code;
  return 0;
}

// A reply record that cannot be written cannot carry the failure either.
bool BeginReply(CT_ReplyRecord* reply) {
  if (!reply || reply->size != CT_REPLY_RECORD_SIZE) return false;
  reply->error = kErrNone;
  return true;
}

int Fail(CT_ReplyRecord* reply, uint32_t code) {
  reply->error = code;
  return 0;
}

bool IsInitialized() {
  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.initCount > 0;
}

std::shared_ptr<Session> FindSession(CTses handle, uint32_t* code) {
  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.initCount <= 0) {
    *code = kErrNotInitialized;
    return nullptr;
  }
  auto found = state.sessions.find(handle);
  if (found == state.sessions.end()) {
    *code = kErrNoSession;
    return nullptr;
  }
  return found->second;
}

// A text argument: null reads as empty; longer than the limit is refused.
bool TakeText(const char* text, size_t limit, std::string* out) {
  if (!text) {
    out->clear();
    return true;
  }
  const size_t length = strnlen(text, limit + 1);
  if (length > limit) return false;
  out->assign(text, length);
  return true;
}

// Sends one request on a session.  Returns 0, a transport code, or the
// server's error code.
template <class Req, class Rep>
uint32_t Send(Session& session, uint32_t (Backend::*method)(const Req&, Rep*), Req& request, Rep* reply) {
  std::lock_guard<std::mutex> lock(session.mutex);
  if (!session.backend) return kErrNoSession;
  if (session.abandoned) return kErrCancelled;
  if (ThreadCancelled()) {
    session.abandoned = true;
    return kErrCancelled;
  }
  request.set_session(session.id);
  const uint32_t transport = (session.backend.get()->*method)(request, reply);
  if (transport != 0) {
    if (!ThreadCancelled()) return transport;
    session.abandoned = true;
    return kErrCancelled;
  }
  return reply->error();
}

// ---- Filling the reply and information sets ----

// Puts an array made of the items with `put` under the key.
template <class Item>
uint32_t PutItems(CTkvs set, CTsymbol key, int (*put)(CTary, const Item*, uint32_t, uint32_t*),
                  const std::vector<Item>& items) {
  uint32_t err = kErrNone;
  CTary array = 0;
  if (!CTary_Create(&array, &err)) return err;
  const bool ok = put(array, items.data(), static_cast<uint32_t>(items.size()), &err) &&
                  CTkvs_PutArray(set, key, array, &err);
  CTary_Destroy(array, nullptr);
  return ok ? 0 : err;
}

uint32_t PutStringArray(CTkvs set, CTsymbol key, const std::vector<const char*>& items) {
  return PutItems(set, key, CTary_PutString, items);
}

template <class Field>
std::vector<const char*> Texts(const Field& field) {
  std::vector<const char*> items;
  items.reserve(static_cast<size_t>(field.size()));
  for (const std::string& text : field) items.push_back(text.c_str());
  return items;
}

uint32_t PutSymbolArray(CTkvs set, CTsymbol key, const std::vector<CTsymbol>& items) {
  return PutItems(set, key, CTary_PutSymbol, items);
}

uint32_t PutBoolArray(CTkvs set, CTsymbol key, const std::vector<int32_t>& items) {
  return PutItems(set, key, CTary_PutBool, items);
}

// Puts an array of `contents.size()` sets under the key and decodes each
// content straight into its place in the set, so that a large profile is
// not copied once more on its way in.
template <class Field>
uint32_t PutContents(CTkvs set, CTsymbol key, const Field& contents) {
  uint32_t err = kErrNone;
  CTkvs empty = 0;
  CTary array = 0;
  if (!CTkvs_Create(&empty, &err)) return err;
  if (!CTary_Create(&array, &err)) {
    CTkvs_Destroy(empty, nullptr);
    return err;
  }
  std::vector<CTkvs> blanks(static_cast<size_t>(contents.size()), empty);
  const bool ok = CTary_PutKVSet(array, blanks.data(), static_cast<uint32_t>(blanks.size()), &err) &&
                  CTkvs_PutArray(set, key, array, &err);
  CTary_Destroy(array, nullptr);
  CTkvs_Destroy(empty, nullptr);
  if (!ok) return err;

  CTary lent = 0;
  const CTkvs* items = nullptr;
  uint32_t count = 0;
  if (!CTkvs_GetArray(set, key, &lent, &err) || !CTary_GetKVSet(lent, &items, &count, &err)) return err;
  if (count != static_cast<uint32_t>(contents.size())) return kErrInternal;
  for (uint32_t i = 0; i < count; ++i) {
    if (!ctserver::BytesToKvs(contents[static_cast<int>(i)], items[i], &err)) return err;
  }
  return 0;
}

// A reply whose parallel lists differ in length, or that is larger than any
// server sends, did not come from a sound server.
bool SaneCount(size_t count) { return count <= kMaxReplyItems; }

uint32_t CloseOnServer(Session& session) {
  pb::CloseSessionRequest request;
  pb::CloseSessionReply reply;
  return Send(session, &Backend::CloseSession, request, &reply);
}

std::unique_ptr<SymbolTable> BuildTable(const pb::SymbolTableReply& reply) {
  auto table = std::make_unique<SymbolTable>();
  table->entries.reserve(static_cast<size_t>(reply.symbols_size()));
  for (const pb::Symbol& symbol : reply.symbols()) {
    const std::string& name = symbol.name();
    // A name the callers' buffers cannot hold, or one with a zero byte, is
    // not served.
    if (name.empty() || name.size() >= CT_SYMBOL_NAME_BUFFER || name.find('\0') != std::string::npos) continue;
    table->entries.emplace_back(symbol.value(), name);
  }
  // Sort by value and keep the first of equal values; then the first of
  // equal names.
  std::stable_sort(table->entries.begin(), table->entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  table->entries.erase(std::unique(table->entries.begin(), table->entries.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; }),
                       table->entries.end());
  table->byValue.reserve(table->entries.size());
  table->byName.reserve(table->entries.size());
  for (uint32_t i = 0; i < table->entries.size(); ++i) {
    const auto& entry = table->entries[i];
    table->byValue.emplace(entry.first, i);
    table->byName.emplace(std::string_view(entry.second), entry.first);
  }
  return table;
}

int CopyName(const std::string& name, char* buffer, uint32_t length, uint32_t* err) {
  if (!buffer) return SetErr(err, kErrInvalidArgument);
  if (name.size() + 1 > length) return SetErr(err, kErrBufferTooSmall);
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return 1;
}

// The symbol table of a session, with the session locked, or an error.
template <class Fn>
int WithTable(CTses handle, uint32_t* err, Fn fn) {
  uint32_t code = kErrNone;
  std::shared_ptr<Session> session = FindSession(handle, &code);
  if (!session) return SetErr(err, code);
  std::lock_guard<std::mutex> lock(session->mutex);
  if (!session->table) return SetErr(err, kErrNoSymbolTable);
  return fn(*session->table);
}

// A text argument into a request field: 0, or `refusal` when it is longer
// than the limit.
uint32_t SetText(const char* text, std::string* field, uint32_t refusal, size_t limit = kMaxTextBytes) {
  return TakeText(text, limit, field) ? kOk : refusal;
}

template <class Req>
uint32_t FillNameClass(Req* request, const char* name, const char* profileClass) {
  const uint32_t code = SetText(name, request->mutable_name(), kErrInvalidName);
  return code != 0 ? code : SetText(profileClass, request->mutable_profile_class(), kErrInvalidClass);
}

uint32_t FillProfile(pb::ProfileRequest* request, const char* name, const char* profileClass, CTkvs profile) {
  uint32_t code = FillNameClass(request, name, profileClass);
  if (code != 0) return code;
  code = kErrInternal;  // should the conversion fail without saying why
  return ctserver::KvsToBytes(profile, request->mutable_content(), &code) ? kOk : code;
}

uint32_t FillTransfer(pb::TransferProfileRequest* request, const char* name, const char* profileClass,
                      const char* file) {
  const uint32_t code = FillNameClass(request, name, profileClass);
  return code != 0 ? code : SetText(file, request->mutable_file(), kErrInvalidArgument, 4096);
}

uint32_t FillService(pb::ServiceRequest* request, const char* name, CTkvs config) {
  uint32_t code = SetText(name, request->mutable_name(), kErrInvalidArgument);
  if (code != 0) return code;
  code = kErrInternal;  // should the conversion fail without saying why
  return ctserver::KvsToBytes(config, request->mutable_config(), &code) ? kOk : code;
}

// What every administration and symbol call has in common: the reply
// record, the session, the request's own fields (`fill`, which answers 0 or
// an error code), one request, and the mapping of a failure into the reply
// record.  `take` reads a successful answer (0 or an error code), with the
// session when it needs it.  Answers 1, or 0 with the code in the record.
template <class Req, class Rep, class Fill, class Take>
int AdminCall(CTses handle, CT_ReplyRecord* reply, uint32_t (Backend::*method)(const Req&, Rep*), Fill fill,
              Take take) {
  if (!BeginReply(reply)) return 0;
  uint32_t code = kErrNone;
  std::shared_ptr<Session> session = FindSession(handle, &code);
  if (!session) return Fail(reply, code);
  Req request;
  if ((code = fill(request)) != 0) return Fail(reply, code);
  Rep answer;
  if ((code = Send(*session, method, request, &answer)) != 0) return Fail(reply, code);
  if constexpr (std::is_invocable_v<Take, const Rep&, Session&>) {
    code = take(answer, *session);
  } else {
    code = take(answer);
  }
  return code == 0 ? 1 : Fail(reply, code);
}

// A call whose answer carries nothing but its status.
template <class Req, class Rep, class Fill>
int AdminCall(CTses handle, CT_ReplyRecord* reply, uint32_t (Backend::*method)(const Req&, Rep*), Fill fill) {
  return AdminCall(handle, reply, method, fill, [](const Rep&) { return kOk; });
}

}  // namespace

// ---- Runtime ----

namespace ct::runtime {

std::unique_ptr<Backend> MakeBackend(const ServerAddress& address, const RuntimeSettings& settings,
                                     uint32_t* error) {
  if (address.kind == AddressKind::Embedded) return MakeEmbeddedBackend(address, error);
  return MakeGrpcBackend(address, settings, error);
}

void SetBackendFactory(BackendFactory factory) {
  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.factory = std::move(factory);
}

}  // namespace ct::runtime

int CT_Initialize(uint32_t* /*err*/) {
  // Host names are resolved by the system's resolver (getaddrinfo), which
  // honours /etc/hosts and nsswitch as every other program here does,
  // unless the environment chose otherwise.
  setenv("GRPC_DNS_RESOLVER", "native", 0);
  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  ++state.initCount;
  return 1;
}

int CT_Shutdown(uint32_t* err) {
  RuntimeState& state = State();
  std::vector<std::shared_ptr<Session>> open;
  std::vector<std::shared_ptr<Watch>> ended;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.initCount <= 0) return SetErr(err, kErrNotInitialized);
    if (--state.initCount > 0) return 1;
    for (auto& entry : state.sessions) open.push_back(std::move(entry.second));
    state.sessions.clear();
    for (auto& entry : state.watches) ended.push_back(std::move(entry.second));
    state.watches.clear();
  }
  for (auto& watch : ended) watch->Stop();
  // The last shutdown: tell the servers of sessions still open, then let
  // go of the in-process cores.
  for (auto& session : open) {
    CloseOnServer(*session);
    std::lock_guard<std::mutex> lock(session->mutex);
    session->backend.reset();
  }
  runtime::ReleaseEmbeddedCores();
  return 1;
}

// ---- Sessions ----

int CTses_Create(CTses* handle, const char* application, uint32_t /*zero*/, CTkvs options,
                 CT_ReplyRecord* reply, uint32_t /*zero2*/) {
  if (!BeginReply(reply)) return 0;
  if (!IsInitialized()) return Fail(reply, kErrNotInitialized);
  if (!handle) return Fail(reply, kErrInvalidArgument);

  uint32_t code = kErrNone;
  const char* serverName = nullptr;
  if (!CTkvs_GetString(options, CT_KEY_SERVER_NAME, &serverName, &code) || !serverName) {
    return Fail(reply, kErrUnknownServer);
  }
  std::string name;
  if (!TakeText(serverName, runtime::kMaxServerNameBytes, &name)) return Fail(reply, kErrUnknownServer);
  std::string client;
  if (!TakeText(application, kMaxApplicationBytes, &client)) return Fail(reply, kErrInvalidArgument);

  pb::OpenSessionRequest request;
  request.set_client_name(client);
  if (!ctserver::KvsToBytes(options, request.mutable_options(), &code)) return Fail(reply, code);

  runtime::ServerAddress address;
  if (!runtime::ResolveServer(name, &address, &code)) return Fail(reply, code);
  const runtime::RuntimeSettings settings = runtime::ReadRuntimeSettings();

  runtime::BackendFactory factory;
  {
    RuntimeState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    factory = state.factory;
  }
  if (ThreadCancelled()) return Fail(reply, kErrCancelled);
  auto session = std::make_shared<Session>();
  code = kErrConnect;
  session->backend = factory ? factory(address, settings, &code) : runtime::MakeBackend(address, settings, &code);
  if (!session->backend) return Fail(reply, code);

  pb::OpenSessionReply answer;
  code = session->backend->OpenSession(request, &answer);
  if (code != 0 && ThreadCancelled()) code = kErrCancelled;
  if (code == 0) code = answer.error();
  if (code == 0 && answer.session().empty()) code = kErrTransport;
  if (code != 0) return Fail(reply, code);
  session->id = answer.session();

  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.initCount <= 0) return Fail(reply, kErrNotInitialized);  // shut down meanwhile
  CTses next = state.nextHandle;
  while (next == 0 || state.sessions.count(next)) ++next;
  state.nextHandle = next + 1;
  state.sessions.emplace(next, std::move(session));
  *handle = next;
  return 1;
}

int CTses_Destroy(CTses handle, CTkvs /*options*/, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  if (!BeginReply(reply)) return 0;
  std::shared_ptr<Session> session;
  std::vector<std::shared_ptr<Watch>> ended;
  {
    RuntimeState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.initCount <= 0) return Fail(reply, kErrNotInitialized);
    auto found = state.sessions.find(handle);
    if (found == state.sessions.end()) return Fail(reply, kErrNoSession);
    session = std::move(found->second);
    state.sessions.erase(found);
    for (auto it = state.watches.begin(); it != state.watches.end();) {
      if (it->second->session == handle) {
        ended.push_back(std::move(it->second));
        it = state.watches.erase(it);
      } else {
        ++it;
      }
    }
  }
  // The session's watches end before the server hears of the close.
  for (auto& watch : ended) watch->Stop();
  const uint32_t code = CloseOnServer(*session);
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    session->backend.reset();
  }
  return code == 0 ? 1 : Fail(reply, code);
}

// ---- Symbols ----

int CTsym_LoadTable(CTses handle, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::GetSymbolTable, [](pb::SymbolTableRequest&) { return kOk; },
      [](const pb::SymbolTableReply& answer, Session& session) {
        if (static_cast<size_t>(answer.symbols_size()) > kMaxSymbols) return kErrTooLarge;
        std::unique_ptr<SymbolTable> table = BuildTable(answer);
        std::lock_guard<std::mutex> lock(session.mutex);
        session.table = std::move(table);
        return kOk;
      });
}

int CTsym_UnloadTable(CTses handle, uint32_t* err) {
  uint32_t code = kErrNone;
  std::shared_ptr<Session> session = FindSession(handle, &code);
  if (!session) return SetErr(err, code);
  std::lock_guard<std::mutex> lock(session->mutex);
  session->table.reset();
  return 1;
}

int CTsym_NameToSymbol(CTses handle, const char* name, CTsymbol* symbol, uint32_t* err) {
  if (!name || !symbol) return SetErr(err, kErrInvalidArgument);
  return WithTable(handle, err, [&](const SymbolTable& table) {
    const size_t length = strnlen(name, CT_SYMBOL_NAME_BUFFER);
    auto found = table.byName.find(std::string_view(name, length));
    if (length == CT_SYMBOL_NAME_BUFFER || found == table.byName.end()) return SetErr(err, kErrUnknownSymbol);
    *symbol = found->second;
    return 1;
  });
}

int CTsym_SymbolToName(CTses handle, CTsymbol symbol, char* buffer, uint32_t length, uint32_t* err) {
  return WithTable(handle, err, [&](const SymbolTable& table) {
    auto found = table.byValue.find(symbol);
    if (found == table.byValue.end()) return SetErr(err, kErrUnknownSymbol);
    return CopyName(table.entries[found->second].second, buffer, length, err);
  });
}

int CTsym_GetCount(CTses handle, uint32_t* count, uint32_t* err) {
  if (!count) return SetErr(err, kErrInvalidArgument);
  return WithTable(handle, err, [&](const SymbolTable& table) {
    *count = static_cast<uint32_t>(table.entries.size());
    return 1;
  });
}

int CTsym_GetEntry(CTses handle, uint32_t index, CTsymbol* symbol, char* buffer, uint32_t length,
                   uint32_t* err) {
  if (!symbol) return SetErr(err, kErrInvalidArgument);
  return WithTable(handle, err, [&](const SymbolTable& table) {
    if (index >= table.entries.size()) return SetErr(err, kErrNotFound);
    const auto& entry = table.entries[index];
    if (!CopyName(entry.second, buffer, length, err)) return 0;
    *symbol = entry.first;
    return 1;
  });
}

// ---- Profiles ----

namespace {

int GetProfileInfo(CTses handle, const char* name, const char* profileClass, int32_t one, CTkvs info,
                   CT_ProfileVersion* version, CT_ReplyRecord* reply) {
  return AdminCall(
      handle, reply, &Backend::GetProfileInfo,
      [&](pb::ProfileInfoRequest& request) {
        uint32_t code = kOk;
        if (name && (code = SetText(name, request.mutable_name(), kErrInvalidName)) != 0) return code;
        request.set_one(one != 0);
        return SetText(profileClass, request.mutable_profile_class(), kErrInvalidClass);
      },
      [&](const pb::ProfileInfoReply& answer) {
        const size_t count = static_cast<size_t>(answer.names_size());
        if (!SaneCount(count) || static_cast<size_t>(answer.classes_size()) != count ||
            (one != 0 && static_cast<size_t>(answer.contents_size()) != count)) {
          return kErrTransport;
        }
        const std::vector<const char*> names = Texts(answer.names());
        const std::vector<const char*> classes = Texts(answer.classes());
        uint32_t code = kOk;
        for (CTkvs set : {reply->replySet, info}) {
          if ((code = PutStringArray(set, CT_KEY_PROFILE_NAMES, names)) != 0 ||
              (code = PutStringArray(set, CT_KEY_PROFILE_CLASSES, classes)) != 0) {
            return code;
          }
        }
        if (version) {
          // An older server sends no revisions.
          *version = CT_ProfileVersion{0, 0};
          if (answer.revisions_size() > 0) version->revision = answer.revisions(0);
          if (answer.times_unix_ms_size() > 0) version->timeUnixMs = answer.times_unix_ms(0);
        }
        return one != 0 ? PutContents(info, CT_KEY_PROFILE_CONTENTS, answer.contents()) : kOk;
      });
}

}  // namespace

int CTadm_GetProfileInfo(CTses handle, const char* name, const char* profileClass, int32_t one, CTkvs info,
                         CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return GetProfileInfo(handle, name, profileClass, one, info, nullptr, reply);
}

int CTadm_GetProfileEx(CTses handle, const char* name, const char* profileClass, CTkvs info,
                       CT_ProfileVersion* version, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return GetProfileInfo(handle, name, profileClass, 1, info, version, reply);
}

int CTadm_AddProfile(CTses handle, const char* name, const char* profileClass, CTkvs profile,
                     CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::AddProfile, [&](pb::ProfileRequest& request) {
    return FillProfile(&request, name, profileClass, profile);
  });
}

int CTadm_UpdateProfile(CTses handle, const char* name, const char* profileClass, CTkvs profile,
                        CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::UpdateProfile, [&](pb::ProfileRequest& request) {
    return FillProfile(&request, name, profileClass, profile);
  });
}

int CTadm_RemoveProfile(CTses handle, const char* name, const char* profileClass, CT_ReplyRecord* reply,
                        uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::RemoveProfile, [&](pb::RemoveProfileRequest& request) {
    return FillNameClass(&request, name, profileClass);
  });
}

int CTadm_AddProfileEx(CTses handle, const char* name, const char* profileClass, CTkvs profile,
                       uint64_t* newRevision, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::AddProfile,
      [&](pb::ProfileRequest& request) { return FillProfile(&request, name, profileClass, profile); },
      [&](const pb::ProfileReply& answer) {
        if (newRevision) *newRevision = answer.revision();
        return kOk;
      });
}

int CTadm_UpdateProfileEx(CTses handle, const char* name, const char* profileClass, CTkvs profile,
                          uint64_t expectedRevision, uint64_t* newRevision, CT_ReplyRecord* reply,
                          uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::UpdateProfile,
      [&](pb::ProfileRequest& request) {
        if (expectedRevision != 0) request.set_expected_revision(expectedRevision);
        return FillProfile(&request, name, profileClass, profile);
      },
      [&](const pb::ProfileReply& answer) {
        if (newRevision) *newRevision = answer.revision();
        return kOk;
      });
}

int CTadm_RemoveProfileEx(CTses handle, const char* name, const char* profileClass, uint64_t expectedRevision,
                          CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::RemoveProfile, [&](pb::RemoveProfileRequest& request) {
    if (expectedRevision != 0) request.set_expected_revision(expectedRevision);
    return FillNameClass(&request, name, profileClass);
  });
}

int CTadm_WatchProfile(CTses handle, const char* name, const char* profileClass, CT_WatchCallback callback,
                       CT_WatchHandle* watchHandle, uint32_t* err) {
  if (!callback || !watchHandle) return SetErr(err, kErrInvalidArgument);
  uint32_t code = kErrNone;
  std::shared_ptr<Session> session = FindSession(handle, &code);
  if (!session) return SetErr(err, code);
  pb::WatchProfileRequest request;
  if ((code = FillNameClass(&request, name, profileClass)) != 0) return SetErr(err, code);

  auto watch = std::make_shared<Watch>();
  watch->session = handle;
  watch->callback = std::move(callback);
  std::shared_ptr<Watch::Queue> queue = watch->queue;
  runtime::WatchSink sink = [queue](const pb::ProfileEvent& event) {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->events.push_back(event);
    queue->ready.notify_one();
  };
  {
    std::lock_guard<std::mutex> lock(session->mutex);
    if (!session->backend) return SetErr(err, kErrNoSession);
    if (session->abandoned) return SetErr(err, kErrCancelled);
    request.set_session(session->id);
    watch->call = session->backend->WatchProfile(request, std::move(sink));
  }
  if (!watch->call) return SetErr(err, kErrInvalidArgument);
  // The thread keeps its watch alive until it has ended.
  watch->deliverer = std::thread([watch] { watch->Deliver(); });

  RuntimeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  const CT_WatchHandle id = state.nextWatch++;
  state.watches.emplace(id, std::move(watch));
  *watchHandle = id;
  return 1;
}

int CTadm_Unwatch(CT_WatchHandle watchHandle, uint32_t* err) {
  std::shared_ptr<Watch> watch;
  {
    RuntimeState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto found = state.watches.find(watchHandle);
    if (found == state.watches.end()) return SetErr(err, kErrNotFound);
    // From inside the callback the wait for the callback would never end.
    if (found->second->deliverer.get_id() == std::this_thread::get_id()) return SetErr(err, kErrInvalidArgument);
    watch = std::move(found->second);
    state.watches.erase(found);
  }
  watch->Stop();
  return 1;
}

int CTadm_ImportProfile(CTses handle, const char* name, const char* profileClass, const char* file,
                        CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::ImportProfile, [&](pb::TransferProfileRequest& request) {
    return FillTransfer(&request, name, profileClass, file);
  });
}

int CTadm_ExportProfile(CTses handle, const char* name, const char* profileClass, const char* file,
                        CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::ExportProfile, [&](pb::TransferProfileRequest& request) {
    return FillTransfer(&request, name, profileClass, file);
  });
}

int CTadm_ListRevisions(CTses handle, const char* name, const char* profileClass,
                        std::vector<CT_RevisionInfo>* revisions, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  if (!BeginReply(reply)) return 0;
  if (!revisions) return Fail(reply, kErrInvalidArgument);
  return AdminCall(
      handle, reply, &Backend::ListRevisions,
      [&](pb::RevisionsRequest& request) { return FillNameClass(&request, name, profileClass); },
      [&](const pb::RevisionsReply& answer) {
        if (!SaneCount(static_cast<size_t>(answer.revisions_size()))) return kErrTransport;
        revisions->clear();
        for (const pb::Revision& r : answer.revisions()) {
          revisions->push_back(CT_RevisionInfo{r.revision(), r.time_unix_ms(), r.current() ? 1 : 0});
        }
        return kOk;
      });
}

namespace {

// Fills a request for one revision of a profile.
auto RevisionOf(const char* name, const char* profileClass, uint64_t revision) {
  return [=](pb::RevisionRequest& request) {
    request.set_revision(revision);
    return FillNameClass(&request, name, profileClass);
  };
}

}  // namespace

int CTadm_GetRevision(CTses handle, const char* name, const char* profileClass, uint64_t revision,
                      CTkvs content, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::GetRevision,
      RevisionOf(name, profileClass, revision),
      [&](const pb::RevisionReply& answer) {
        uint32_t code = kErrInternal;
        return ctserver::BytesToKvs(answer.content(), content, &code) ? kOk : code;
      });
}

int CTadm_RestoreRevision(CTses handle, const char* name, const char* profileClass, uint64_t revision,
                          uint64_t* newRevision, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::RestoreRevision,
      RevisionOf(name, profileClass, revision),
      [&](const pb::RevisionReply& answer) {
        if (newRevision) *newRevision = answer.revision();
        return kOk;
      });
}

// ---- Services ----

int CTadm_AddService(CTses handle, const char* name, CTkvs config, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::AddService,
                   [&](pb::ServiceRequest& request) { return FillService(&request, name, config); });
}

int CTadm_UpdateService(CTses handle, const char* name, CTkvs config, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::UpdateService,
                   [&](pb::ServiceRequest& request) { return FillService(&request, name, config); });
}

int CTadm_RemoveService(CTses handle, const char* name, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::RemoveService, [&](pb::ServiceNameRequest& request) {
    return SetText(name, request.mutable_name(), kErrInvalidArgument);
  });
}

int CTadm_StartService(CTses handle, const char* name, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::StartService, [&](pb::ServiceNameRequest& request) {
    return SetText(name, request.mutable_name(), kErrInvalidArgument);
  });
}

int CTadm_StopService(CTses handle, const char* name, uint32_t value, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::StopService, [&](pb::StopServiceRequest& request) {
    request.set_value(value);
    return SetText(name, request.mutable_name(), kErrInvalidArgument);
  });
}

int CTadm_GetServiceState(CTses handle, const char* name, CTkvs info, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::GetServiceState,
      [&](pb::ServiceStateRequest& request) { return SetText(name, request.mutable_name(), kErrInvalidArgument); },
      [&](const pb::ServiceStateReply& answer) {
        if (!SaneCount(static_cast<size_t>(answer.services_size()))) return kErrTransport;
        std::vector<const char*> names;
        std::vector<CTsymbol> states, modes;
        std::vector<int32_t> running;
        for (const pb::ServiceState& s : answer.services()) {
          names.push_back(s.name().c_str());
          states.push_back(s.state());
          modes.push_back(s.mode());
          running.push_back(s.running() ? 1 : 0);
        }
        uint32_t code = kOk;
        for (CTkvs set : {reply->replySet, info}) {
          if ((code = PutStringArray(set, CT_KEY_SERVICE_NAMES, names)) != 0 ||
              (code = PutSymbolArray(set, CT_KEY_SERVICE_STATES, states)) != 0 ||
              (code = PutSymbolArray(set, CT_KEY_SERVICE_MODES, modes)) != 0 ||
              (code = PutBoolArray(set, CT_KEY_SERVICE_RUNNING, running)) != 0) {
            return code;
          }
        }
        return kOk;
      });
}

// ---- Server level and processes ----

int CTadm_GetServerLevel(CTses handle, int32_t* level, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  if (!BeginReply(reply)) return 0;
  if (!level) return Fail(reply, kErrInvalidArgument);
  return AdminCall(
      handle, reply, &Backend::GetServerLevel, [](pb::ServerLevelRequest&) { return kOk; },
      [&](const pb::ServerLevelReply& answer) {
        *level = answer.level();
        return kOk;
      });
}

int CTadm_SetTargetServerLevel(CTses handle, int32_t level, uint32_t value, CT_ReplyRecord* reply,
                               uint32_t /*zero*/) {
  return AdminCall(handle, reply, &Backend::SetTargetServerLevel, [&](pb::SetTargetLevelRequest& request) {
    request.set_level(level);
    request.set_value(value);
    return kOk;
  });
}

int CTadm_GetSPInfo(CTses handle, const char* name, CTkvs info, CT_ReplyRecord* reply, uint32_t /*zero*/) {
  return AdminCall(
      handle, reply, &Backend::GetServerProcessInfo,
      [&](pb::ServerProcessRequest& request) { return SetText(name, request.mutable_name(), kErrInvalidArgument); },
      [&](const pb::ServerProcessReply& answer) {
        if (!SaneCount(static_cast<size_t>(answer.processes_size()))) return kErrTransport;
        std::vector<const char*> names;
        std::vector<int32_t> running;
        for (const pb::ServerProcess& p : answer.processes()) {
          names.push_back(p.name().c_str());
          running.push_back(p.running() ? 1 : 0);
        }
        uint32_t code = kOk;
        for (CTkvs set : {reply->replySet, info}) {
          if ((code = PutStringArray(set, CT_KEY_PROCESS_NAMES, names)) != 0 ||
              (code = PutBoolArray(set, CT_KEY_PROCESS_RUNNING, running)) != 0) {
            return code;
          }
        }
        return kOk;
      });
}
