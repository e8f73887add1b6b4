// The transport behind a runtime session: one connection to one server,
// either a gRPC channel or the server core running in-process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "proto/ctadmin.pb.h"
#include "s100/runtime_address.h"

namespace ct::runtime {

// Every request the runtime sends: method name, request and reply message.
#define CT_RUNTIME_RPCS(X)                                              \
  X(OpenSession, OpenSessionRequest, OpenSessionReply)                  \
  X(CloseSession, CloseSessionRequest, CloseSessionReply)               \
  X(GetProfileInfo, ProfileInfoRequest, ProfileInfoReply)               \
  X(AddProfile, ProfileRequest, ProfileReply)                           \
  X(UpdateProfile, ProfileRequest, ProfileReply)                        \
  X(RemoveProfile, RemoveProfileRequest, StatusReply)                   \
  X(ImportProfile, TransferProfileRequest, StatusReply)                 \
  X(ExportProfile, TransferProfileRequest, StatusReply)                 \
  X(ListRevisions, RevisionsRequest, RevisionsReply)                    \
  X(GetRevision, RevisionRequest, RevisionReply)                        \
  X(RestoreRevision, RevisionRequest, RevisionReply)                    \
  X(GetSymbolTable, SymbolTableRequest, SymbolTableReply)               \
  X(AddService, ServiceRequest, StatusReply)                            \
  X(UpdateService, ServiceRequest, StatusReply)                         \
  X(RemoveService, ServiceNameRequest, StatusReply)                     \
  X(StartService, ServiceNameRequest, StatusReply)                      \
  X(StopService, StopServiceRequest, StatusReply)                       \
  X(GetServiceState, ServiceStateRequest, ServiceStateReply)            \
  X(GetServerLevel, ServerLevelRequest, ServerLevelReply)               \
  X(SetTargetServerLevel, SetTargetLevelRequest, StatusReply)           \
  X(GetServerProcessInfo, ServerProcessRequest, ServerProcessReply)

// One method per request.  Each returns 0 when the server answered (its
// answer, success or failure, is in the reply's `error`), or a transport
// error code (kErrConnect, kErrTimeout, kErrUnauthenticated, kErrTransport)
// when no answer came.
// A watch that a backend runs: events go to the sink on a thread of the
// backend's (or, for the first ones, the starting thread); the sink only
// queues them.  An event with error != 0 is the last.
class WatchCall {
 public:
  virtual ~WatchCall() = default;
  // Ends the watch; when it returns the sink is not running and is not
  // called again.
  virtual void Stop() = 0;
};
using WatchSink = std::function<void(const ctadmin::v1::ProfileEvent&)>;

class Backend {
 public:
  virtual ~Backend() = default;
  // Starts watching a profile; null when this transport cannot watch.
  // Never waits on the network.
  virtual std::unique_ptr<WatchCall> WatchProfile(const ctadmin::v1::WatchProfileRequest& /*request*/,
                                                  WatchSink /*sink*/) {
    return nullptr;
  }
#define CT_RUNTIME_DECLARE_RPC(name, req, rep) \
  virtual uint32_t name(const ctadmin::v1::req& request, ctadmin::v1::rep* reply) = 0;
  CT_RUNTIME_RPCS(CT_RUNTIME_DECLARE_RPC)
#undef CT_RUNTIME_DECLARE_RPC
};

// Makes the backend for an address.  On failure returns null and sets *error.
using BackendFactory =
    std::function<std::unique_ptr<Backend>(const ServerAddress& address, const RuntimeSettings& settings,
                                           uint32_t* error)>;

// The production factory: a gRPC channel, or the shared in-process core of
// an embedded file.
std::unique_ptr<Backend> MakeBackend(const ServerAddress& address, const RuntimeSettings& settings,
                                     uint32_t* error);

// Replaces the factory for sessions created from now on (tests wrap the
// real backends, or count them); an empty function restores MakeBackend.
void SetBackendFactory(BackendFactory factory);

}  // namespace ct::runtime
