#include "s100/runtime_grpc.h"

#include <grpc/grpc.h>
#include <grpcpp/grpcpp.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <iterator>
#include <string_view>
#include <thread>

#include "platform/fileio.h"
#include "proto/ctadmin.grpc.pb.h"
#include "s100/cterrors.h"
#include "s100/ctruntime.h"

namespace ct::runtime {
namespace {

constexpr size_t kMaxTokenBytes = 4096;
constexpr size_t kMaxCaBytes = 1 << 20;

// Reads a whole small file; false when it is missing, unreadable, larger
// than the limit or not a regular file (a FIFO would block the caller).
bool ReadSmallFile(const std::string& path, size_t limit, std::string* out) {
  return ReadRegularFile(path, limit, out) == FileReadProblem::None;
}

// The token is one word of printable characters; surrounding white space
// (a trailing newline) is ignored.
bool ReadToken(const std::string& path, std::string* token) {
  std::string data;
  if (!ReadSmallFile(path, kMaxTokenBytes, &data)) return false;
  size_t b = 0, e = data.size();
  while (b < e && std::isspace(static_cast<unsigned char>(data[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(data[e - 1]))) --e;
  data = data.substr(b, e - b);
  if (data.empty()) return false;
  if (!std::all_of(data.begin(), data.end(), [](unsigned char c) { return c > 0x20 && c < 0x7F; })) return false;
  *token = data;
  return true;
}

uint32_t MapStatus(const grpc::Status& status) {
  switch (status.error_code()) {
    case grpc::StatusCode::OK:
      return 0;
    case grpc::StatusCode::UNAVAILABLE:
      return kErrConnect;
    case grpc::StatusCode::DEADLINE_EXCEEDED:
      return kErrTimeout;
    case grpc::StatusCode::UNAUTHENTICATED:
    case grpc::StatusCode::PERMISSION_DENIED:
      return kErrUnauthenticated;
    case grpc::StatusCode::RESOURCE_EXHAUSTED:
      return kErrTooLarge;
    default:
      return kErrTransport;
  }
}

// Cancels the call of a context when the calling thread's cancel token is
// cancelled while the call is in flight (gRPC takes a cancel that comes
// before the call starts as well).
class AbortWatch {
 public:
  explicit AbortWatch(grpc::ClientContext* context) : token_(CT_ThreadCancelToken()) {
    if (token_) id_ = token_->Watch([context] { context->TryCancel(); });
  }
  ~AbortWatch() {
    if (token_ && id_) token_->Unwatch(id_);
  }
  AbortWatch(const AbortWatch&) = delete;
  AbortWatch& operator=(const AbortWatch&) = delete;

 private:
  CT_CancelToken* token_;
  uint64_t id_ = 0;
};

// A server-streaming watch read on a thread of its own, so that starting it
// never waits on the network.  A stream that ends without a last event
// (the server went away) ends with one of the transport's codes.
class GrpcWatch final : public WatchCall {
 public:
  GrpcWatch(std::shared_ptr<grpc::Channel> channel, const std::string& token,
            const ctadmin::v1::WatchProfileRequest& request, WatchSink sink)
      : channel_(std::move(channel)), request_(request), sink_(std::move(sink)) {
    if (!token.empty()) context_.AddMetadata("authorization", "Bearer " + token);
    reader_ = std::thread([this] { Run(); });
  }
  ~GrpcWatch() override { Stop(); }
  void Stop() override {
    stopped_ = true;
    context_.TryCancel();
    if (reader_.joinable()) reader_.join();
  }

 private:
  void Run() {
    auto stub = ctadmin::v1::Admin::NewStub(channel_);
    auto stream = stub->WatchProfile(&context_, request_);
    ctadmin::v1::ProfileEvent event;
    bool last = false;
    while (stream->Read(&event)) {
      sink_(event);
      if (event.error() != 0) {
        last = true;
        break;
      }
    }
    if (last) context_.TryCancel();
    const grpc::Status status = stream->Finish();
    if (last || stopped_) return;
    // The stream ended without a last event: the server stopped or went away.
    ctadmin::v1::ProfileEvent ended;
    const uint32_t code = MapStatus(status);
    ended.set_error(code == 0 || code == kErrTransport ? kErrConnect : code);
    sink_(ended);
  }

  std::shared_ptr<grpc::Channel> channel_;
  ctadmin::v1::WatchProfileRequest request_;
  WatchSink sink_;
  grpc::ClientContext context_;
  std::atomic<bool> stopped_{false};
  std::thread reader_;
};

class GrpcBackend final : public Backend {
 public:
  std::unique_ptr<WatchCall> WatchProfile(const ctadmin::v1::WatchProfileRequest& request, WatchSink sink) override {
    return std::make_unique<GrpcWatch>(channel_, token_, request, std::move(sink));
  }

  GrpcBackend(std::shared_ptr<grpc::Channel> channel, std::string token, const RuntimeSettings& settings)
      : channel_(std::move(channel)),
        stub_(ctadmin::v1::Admin::NewStub(channel_)),
        token_(std::move(token)),
        connectMs_(settings.connectTimeoutMs),
        callMs_(settings.callTimeoutMs) {}

  // Opening and closing a session get the connect timeout: opening is the
  // first contact, and closing must not hold up the switch to another
  // server.  Everything else gets the call timeout.
#define CT_GRPC_RPC(name, req, rep)                                                                  \
  uint32_t name(const ctadmin::v1::req& request, ctadmin::v1::rep* reply) override {                 \
    grpc::ClientContext context;                                                                     \
    Prepare(&context, IsSessionCall(#name) ? connectMs_ : callMs_);                                  \
    AbortWatch watch(&context);                                                                      \
    return MapStatus(stub_->name(&context, request, reply));                                         \
  }
  CT_RUNTIME_RPCS(CT_GRPC_RPC)
#undef CT_GRPC_RPC

 private:
  static constexpr bool IsSessionCall(std::string_view name) {
    return name == "OpenSession" || name == "CloseSession";
  }

  void Prepare(grpc::ClientContext* context, uint32_t timeoutMs) const {
    context->set_deadline(std::chrono::system_clock::now() + std::chrono::milliseconds(timeoutMs));
    if (!token_.empty()) context->AddMetadata("authorization", "Bearer " + token_);
  }

  std::shared_ptr<grpc::Channel> channel_;
  std::unique_ptr<ctadmin::v1::Admin::Stub> stub_;
  std::string token_;
  uint32_t connectMs_;
  uint32_t callMs_;
};

}  // namespace

std::unique_ptr<Backend> MakeGrpcBackend(const ServerAddress& address, const RuntimeSettings& settings,
                                         uint32_t* error) {
  std::string token;
  if (!settings.tokenFile.empty() && !ReadToken(settings.tokenFile, &token)) {
    if (error) *error = kErrUnauthenticated;
    return nullptr;
  }

  std::shared_ptr<grpc::ChannelCredentials> credentials;
  if (address.kind == AddressKind::Tls) {
    grpc::SslCredentialsOptions options;
    if (!settings.caFile.empty() && !ReadSmallFile(settings.caFile, kMaxCaBytes, &options.pem_root_certs)) {
      if (error) *error = kErrConnect;
      return nullptr;
    }
    credentials = grpc::SslCredentials(options);
  } else {
    credentials = grpc::InsecureChannelCredentials();
  }

  grpc::ChannelArguments args;
  // A channel of its own for every session, with short reconnect backoff:
  // a server that was down a moment ago is tried afresh by the next
  // session instead of waiting out a backoff shared with earlier channels.
  args.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  args.SetInt(GRPC_ARG_INITIAL_RECONNECT_BACKOFF_MS, 100);
  // gRPC also takes this as the least time a connection attempt is given:
  // the connect timeout, so that a slow handshake (TLS to a distant host)
  // is not cut off after 100 ms.
  args.SetInt(GRPC_ARG_MIN_RECONNECT_BACKOFF_MS, static_cast<int>(settings.connectTimeoutMs));
  args.SetInt(GRPC_ARG_MAX_RECONNECT_BACKOFF_MS, 1000);
  args.SetMaxReceiveMessageSize(kMaxMessageBytes);
  args.SetMaxSendMessageSize(kMaxMessageBytes);
  auto channel = grpc::CreateCustomChannel(address.target, credentials, args);
  if (!channel) {
    if (error) *error = kErrConnect;
    return nullptr;
  }
  return std::make_unique<GrpcBackend>(std::move(channel), std::move(token), settings);
}

}  // namespace ct::runtime
