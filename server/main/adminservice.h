// The Admin gRPC service: checks the token, hands each request to the
// server core and logs every write (never profile content).
#pragma once

#include <atomic>
#include <chrono>

#include "proto/ctadmin.grpc.pb.h"
#include "server/core.h"
#include "server/main/tokencheck.h"

namespace ctserver {

class AdminService final : public ctadmin::v1::Admin::Service {
 public:
  AdminService(ServerCore& core, const TokenCheck& token) : core_(core), token_(token) {}

  using Ctx = grpc::ServerContext;
  grpc::Status OpenSession(Ctx*, const ctadmin::v1::OpenSessionRequest*, ctadmin::v1::OpenSessionReply*) override;
  grpc::Status CloseSession(Ctx*, const ctadmin::v1::CloseSessionRequest*, ctadmin::v1::CloseSessionReply*) override;
  grpc::Status GetProfileInfo(Ctx*, const ctadmin::v1::ProfileInfoRequest*, ctadmin::v1::ProfileInfoReply*) override;
  grpc::Status AddProfile(Ctx*, const ctadmin::v1::ProfileRequest*, ctadmin::v1::ProfileReply*) override;
  grpc::Status UpdateProfile(Ctx*, const ctadmin::v1::ProfileRequest*, ctadmin::v1::ProfileReply*) override;
  grpc::Status RemoveProfile(Ctx*, const ctadmin::v1::RemoveProfileRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status ImportProfile(Ctx*, const ctadmin::v1::TransferProfileRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status ExportProfile(Ctx*, const ctadmin::v1::TransferProfileRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status ListRevisions(Ctx*, const ctadmin::v1::RevisionsRequest*, ctadmin::v1::RevisionsReply*) override;
  grpc::Status GetRevision(Ctx*, const ctadmin::v1::RevisionRequest*, ctadmin::v1::RevisionReply*) override;
  grpc::Status RestoreRevision(Ctx*, const ctadmin::v1::RevisionRequest*, ctadmin::v1::RevisionReply*) override;
  // Streams the events of one profile until the client cancels, the
  // session closes or the server stops.
  grpc::Status WatchProfile(Ctx*, const ctadmin::v1::WatchProfileRequest*,
                            grpc::ServerWriter<ctadmin::v1::ProfileEvent>*) override;
  grpc::Status GetSymbolTable(Ctx*, const ctadmin::v1::SymbolTableRequest*, ctadmin::v1::SymbolTableReply*) override;
  grpc::Status AddService(Ctx*, const ctadmin::v1::ServiceRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status UpdateService(Ctx*, const ctadmin::v1::ServiceRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status RemoveService(Ctx*, const ctadmin::v1::ServiceNameRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status StartService(Ctx*, const ctadmin::v1::ServiceNameRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status StopService(Ctx*, const ctadmin::v1::StopServiceRequest*, ctadmin::v1::StatusReply*) override;
  grpc::Status GetServiceState(Ctx*, const ctadmin::v1::ServiceStateRequest*, ctadmin::v1::ServiceStateReply*) override;
  grpc::Status GetServerLevel(Ctx*, const ctadmin::v1::ServerLevelRequest*, ctadmin::v1::ServerLevelReply*) override;
  grpc::Status SetTargetServerLevel(Ctx*, const ctadmin::v1::SetTargetLevelRequest*,
                                    ctadmin::v1::StatusReply*) override;
  grpc::Status GetServerProcessInfo(Ctx*, const ctadmin::v1::ServerProcessRequest*,
                                    ctadmin::v1::ServerProcessReply*) override;

  // Stopping: from now on calls are refused (UNAVAILABLE) and the watches
  // end; then waits until the calls in progress have finished or the
  // deadline has passed.  True when none is left.
  bool StopAndDrain(std::chrono::steady_clock::time_point deadline);

 private:
  template <typename Req, typename Rep>
  grpc::Status Serve(Ctx* ctx, const Req* req, Rep* rep, void (ServerCore::*method)(const Req&, Rep*));
  // Serve, for a call that writes: the write and its outcome are logged.
  template <typename Req, typename Rep>
  grpc::Status ServeWrite(Ctx* ctx, const Req* req, Rep* rep, void (ServerCore::*method)(const Req&, Rep*),
                          const char* what);

  ServerCore& core_;
  const TokenCheck& token_;
  std::atomic<int> inFlight_{0};
  std::atomic<bool> stopping_{false};
};

// A client-given text made safe for one log line: non-printable bytes as
// \xNN, at most 255 bytes shown.
std::string LogText(const std::string& text);

}  // namespace ctserver
