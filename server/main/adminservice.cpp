#include "server/main/adminservice.h"

#include <spdlog/spdlog.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

#include "s100/cterrors.h"

namespace ctserver {

namespace pb = ctadmin::v1;

std::string LogText(const std::string& text) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  const size_t shown = std::min<size_t>(text.size(), 255);
  for (size_t i = 0; i < shown; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(char(c));
    } else {
      out += "\\x";
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 0xF]);
    }
  }
  if (shown < text.size()) out += "...";
  return out;
}

namespace {

std::string Outcome(uint32_t error) {
  if (error == 0) return "ok";
  char buf[32];
  std::snprintf(buf, sizeof buf, "error 0x%08X", error);
  return buf;
}

void LogWrite(const char* what, const std::string& name, const std::string* cls, uint32_t error) {
  if (cls) {
    spdlog::info("{} name='{}' class='{}': {}", what, LogText(name), LogText(*cls), Outcome(error));
  } else {
    spdlog::info("{} name='{}': {}", what, LogText(name), Outcome(error));
  }
}

}  // namespace

template <typename Req, typename Rep>
grpc::Status AdminService::Serve(Ctx* ctx, const Req* req, Rep* rep, void (ServerCore::*method)(const Req&, Rep*)) {
  // Counted before stopping_ is read: StopAndDrain sets stopping_ before it
  // reads the count, so a call either sees stopping_ or is waited for.
  ++inFlight_;
  struct Done {
    std::atomic<int>& count;
    ~Done() { --count; }
  } done{inFlight_};
  if (stopping_) return grpc::Status(grpc::StatusCode::UNAVAILABLE, "the server is stopping");
  if (!token_.Allows(*ctx)) {
    spdlog::warn("refused a call from {}: missing or wrong token", LogText(ctx->peer()));
    return grpc::Status(grpc::StatusCode::UNAUTHENTICATED, "missing or wrong token");
  }
  (core_.*method)(*req, rep);
  if (rep->error() == ct::kErrIo || rep->error() == ct::kErrInternal) {
    spdlog::error("{} failed on the server: {}", Req::descriptor()->name(), Outcome(rep->error()));
  }
  return grpc::Status::OK;
}

// Whether a request names a profile class besides its name.
template <typename Req, typename = void>
struct HasProfileClass : std::false_type {};
template <typename Req>
struct HasProfileClass<Req, std::void_t<decltype(std::declval<const Req&>().profile_class())>> : std::true_type {};

template <typename Req, typename Rep>
grpc::Status AdminService::ServeWrite(Ctx* ctx, const Req* req, Rep* rep, void (ServerCore::*method)(const Req&, Rep*),
                                      const char* what) {
  grpc::Status s = Serve(ctx, req, rep, method);
  if (!s.ok()) return s;
  if constexpr (HasProfileClass<Req>::value) {
    LogWrite(what, req->name(), &req->profile_class(), rep->error());
  } else {
    LogWrite(what, req->name(), nullptr, rep->error());
  }
  return s;
}

bool AdminService::StopAndDrain(std::chrono::steady_clock::time_point deadline) {
  stopping_ = true;
  core_.EndWatches(ct::kErrConnect);
  while (inFlight_ > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

grpc::Status AdminService::OpenSession(Ctx* c, const pb::OpenSessionRequest* q, pb::OpenSessionReply* r) {
  grpc::Status s = Serve(c, q, r, &ServerCore::OpenSession);
  if (s.ok()) {
    spdlog::debug("session opened for {} ({}): {}", LogText(c->peer()), LogText(q->client_name()),
                  Outcome(r->error()));
  }
  return s;
}
grpc::Status AdminService::CloseSession(Ctx* c, const pb::CloseSessionRequest* q, pb::CloseSessionReply* r) {
  return Serve(c, q, r, &ServerCore::CloseSession);
}
grpc::Status AdminService::GetProfileInfo(Ctx* c, const pb::ProfileInfoRequest* q, pb::ProfileInfoReply* r) {
  return Serve(c, q, r, &ServerCore::GetProfileInfo);
}
grpc::Status AdminService::AddProfile(Ctx* c, const pb::ProfileRequest* q, pb::ProfileReply* r) {
  return ServeWrite(c, q, r, &ServerCore::AddProfile, "add profile");
}
grpc::Status AdminService::UpdateProfile(Ctx* c, const pb::ProfileRequest* q, pb::ProfileReply* r) {
  return ServeWrite(c, q, r, &ServerCore::UpdateProfile, "update profile");
}
grpc::Status AdminService::RemoveProfile(Ctx* c, const pb::RemoveProfileRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::RemoveProfile, "remove profile");
}
grpc::Status AdminService::ImportProfile(Ctx* c, const pb::TransferProfileRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::ImportProfile, "import profile");
}
grpc::Status AdminService::ExportProfile(Ctx* c, const pb::TransferProfileRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::ExportProfile, "export profile");
}
grpc::Status AdminService::ListRevisions(Ctx* c, const pb::RevisionsRequest* q, pb::RevisionsReply* r) {
  return Serve(c, q, r, &ServerCore::ListRevisions);
}
grpc::Status AdminService::GetRevision(Ctx* c, const pb::RevisionRequest* q, pb::RevisionReply* r) {
  return Serve(c, q, r, &ServerCore::GetRevision);
}
grpc::Status AdminService::RestoreRevision(Ctx* c, const pb::RevisionRequest* q, pb::RevisionReply* r) {
  return ServeWrite(c, q, r, &ServerCore::RestoreRevision, "restore profile revision");
}
grpc::Status AdminService::WatchProfile(Ctx* c, const pb::WatchProfileRequest* q,
                                        grpc::ServerWriter<pb::ProfileEvent>* writer) {
  if (stopping_) return grpc::Status(grpc::StatusCode::UNAVAILABLE, "the server is stopping");
  if (!token_.Allows(*c)) {
    spdlog::warn("refused a call from {}: missing or wrong token", LogText(c->peer()));
    return grpc::Status(grpc::StatusCode::UNAUTHENTICATED, "missing or wrong token");
  }
  // The core hands events over under its lock; this thread writes them out.
  struct Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<pb::ProfileEvent> events;
  };
  auto queue = std::make_shared<Queue>();
  const uint64_t id = core_.WatchProfile(*q, [queue](const pb::ProfileEvent& event) {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->events.push_back(event);
    queue->ready.notify_one();
  });
  spdlog::debug("watch profile name='{}' class='{}' from {}", LogText(q->name()), LogText(q->profile_class()),
                LogText(c->peer()));
  bool ended = false;
  while (!ended) {
    std::deque<pb::ProfileEvent> batch;
    {
      std::unique_lock<std::mutex> lock(queue->mutex);
      // The wait is bounded only to notice a client that went away.
      queue->ready.wait_for(lock, std::chrono::milliseconds(200), [&] { return !queue->events.empty(); });
      batch.swap(queue->events);
    }
    for (const auto& event : batch) {
      if (!writer->Write(event) || event.error() != 0) {
        ended = true;
        break;
      }
    }
    if (c->IsCancelled()) ended = true;
  }
  if (id != 0) core_.Unwatch(id);
  return grpc::Status::OK;
}
grpc::Status AdminService::GetSymbolTable(Ctx* c, const pb::SymbolTableRequest* q, pb::SymbolTableReply* r) {
  return Serve(c, q, r, &ServerCore::GetSymbolTable);
}
grpc::Status AdminService::AddService(Ctx* c, const pb::ServiceRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::AddService, "add service");
}
grpc::Status AdminService::UpdateService(Ctx* c, const pb::ServiceRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::UpdateService, "update service");
}
grpc::Status AdminService::RemoveService(Ctx* c, const pb::ServiceNameRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::RemoveService, "remove service");
}
grpc::Status AdminService::StartService(Ctx* c, const pb::ServiceNameRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::StartService, "start service");
}
grpc::Status AdminService::StopService(Ctx* c, const pb::StopServiceRequest* q, pb::StatusReply* r) {
  return ServeWrite(c, q, r, &ServerCore::StopService, "stop service");
}
grpc::Status AdminService::GetServiceState(Ctx* c, const pb::ServiceStateRequest* q, pb::ServiceStateReply* r) {
  return Serve(c, q, r, &ServerCore::GetServiceState);
}
grpc::Status AdminService::GetServerLevel(Ctx* c, const pb::ServerLevelRequest* q, pb::ServerLevelReply* r) {
  return Serve(c, q, r, &ServerCore::GetServerLevel);
}
grpc::Status AdminService::SetTargetServerLevel(Ctx* c, const pb::SetTargetLevelRequest* q, pb::StatusReply* r) {
  grpc::Status s = Serve(c, q, r, &ServerCore::SetTargetServerLevel);
  if (s.ok()) spdlog::info("set target server level {}: {}", q->level(), Outcome(r->error()));
  return s;
}
grpc::Status AdminService::GetServerProcessInfo(Ctx* c, const pb::ServerProcessRequest* q,
                                                pb::ServerProcessReply* r) {
  return Serve(c, q, r, &ServerCore::GetServerProcessInfo);
}

}  // namespace ctserver
