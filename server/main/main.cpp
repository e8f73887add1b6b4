// ctserver: serves the server core over gRPC until SIGTERM or SIGINT.
#include <grpcpp/grpcpp.h>
#include <grpcpp/health_check_service_interface.h>
#include <signal.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <chrono>
#include <thread>

#include "platform/fileio.h"
#include "server/core.h"
#include "server/datafolder.h"
#include "server/main/adminservice.h"
#include "server/main/serveroptions.h"
#include "server/main/tokencheck.h"

namespace {

constexpr size_t kMaxPemBytes = size_t{1} << 20;
constexpr auto kShutdownGrace = std::chrono::seconds(10);
constexpr int kMaxThreads = 256;

bool ReadSmallFile(const std::string& path, std::string* text, std::string* error) {
  return ReadRegularFile(path, kMaxPemBytes, text, error);
}

// Writes the port so that scripts can find a server started on port 0.
bool WritePortFile(const std::string& path, int port) {
  return ctserver::DataFolder::WritePlainFile(path, std::to_string(port) + "\n") == 0;
}

// True when something accepts connections on the unix socket at path.
// gRPC would remove the socket file and take the path over silently.
bool UnixSocketInUse(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool inUse = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return inUse;
}

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
  (void)ignored;
}

void SetUpLogging(const std::string& level) {
  auto logger = spdlog::stderr_color_mt("ctserver");
  spdlog::set_default_logger(logger);
  spdlog::set_pattern("%Y-%m-%d %H:%M:%S.%e %l %v");
  spdlog::set_level(spdlog::level::from_str(level));
}

// The listening credentials: TLS from the certificate and key files, else
// plain.  Null after a logged failure.
std::shared_ptr<grpc::ServerCredentials> MakeCredentials(const ctserver::ServerOptions& options) {
  if (options.tlsCert.empty()) return grpc::InsecureServerCredentials();
  grpc::SslServerCredentialsOptions ssl;
  grpc::SslServerCredentialsOptions::PemKeyCertPair pair;
  std::string why;
  if (!ReadSmallFile(options.tlsKey, &pair.private_key, &why) ||
      !ReadSmallFile(options.tlsCert, &pair.cert_chain, &why)) {
    spdlog::error("cannot read the TLS certificate or key: {}", why);
    return nullptr;
  }
  ssl.pem_key_cert_pairs.push_back(std::move(pair));
  return grpc::SslServerCredentials(ssl);
}

// A stop signal may arrive on any thread (gRPC starts its own before main),
// so the handler only writes the signal number to a pipe that one thread
// waits on.
bool CatchStopSignals() {
  if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) {
    spdlog::error("cannot create the signal pipe");
    return false;
  }
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return true;
}

std::unique_ptr<ctserver::ServerCore> OpenCore(const ctserver::ServerOptions& options) {
  ctserver::CoreOptions coreOptions;
  coreOptions.dbPath = options.dbPath;
  coreOptions.dbPasswordFile = options.dbPasswordFile;
  coreOptions.symbolsPath = options.symbolsPath;
  coreOptions.dataDir = options.dataDir;
  coreOptions.networkService = true;
  std::string error;
  std::unique_ptr<ctserver::ServerCore> core = ctserver::ServerCore::Open(coreOptions, &error);
  if (!core) spdlog::error("{}", error);
  return core;
}

// Builds and starts the gRPC server on the listening address; *port is the
// TCP port bound (0 on a unix socket).  Null after a logged failure.
std::unique_ptr<grpc::Server> StartServer(const ctserver::ServerOptions& options,
                                          const std::shared_ptr<grpc::ServerCredentials>& credentials,
                                          ctserver::AdminService& service, int* port) {
  grpc::EnableDefaultHealthCheckService(true);
  grpc::ServerBuilder builder;
  builder.AddListeningPort(options.listen, credentials, port);
  builder.SetMaxReceiveMessageSize(int(options.maxMessageBytes));
  // A second server on a taken port must fail rather than share the port
  // (and split the clients between two databases).
  builder.AddChannelArgument(GRPC_ARG_ALLOW_REUSEPORT, 0);
  // Bounds the threads that a flood of connections can make the server start.
  grpc::ResourceQuota quota("ctserver");
  quota.SetMaxThreads(kMaxThreads);
  builder.SetResourceQuota(quota);
  builder.RegisterService(&service);
  std::unique_ptr<grpc::Server> server = builder.BuildAndStart();
  const bool unixSocket = options.listen.rfind("unix", 0) == 0;
  if (!server || (!unixSocket && *port == 0)) {
    spdlog::error("cannot listen on {}", options.listen);
    return nullptr;
  }
  if (unixSocket) *port = 0;
  return server;
}

void LogStarted(const ctserver::ServerOptions& options, const ctserver::TokenCheck& token, int port) {
  spdlog::info("ctserver started: database {}, {}, {}{}", options.dbPath,
               options.symbolsPath.empty() ? "built-in symbol table" : "symbols " + options.symbolsPath,
               !options.tlsCert.empty() ? "TLS" : "plain gRPC", token.enabled() ? ", token required" : "");
  if (options.listen.rfind("unix", 0) == 0) {
    spdlog::info("listening on {}", options.listen);
  } else {
    spdlog::info("listening on {} (port {})", options.listen, port);
  }
}

// Serves until a stop signal; then lets calls in progress finish within the
// grace time and stops.
void ServeUntilStopped(grpc::Server& server, ctserver::AdminService& service) {
  std::thread waiter([&] {
    unsigned char signal = 0;
    while (::read(g_signalPipe[0], &signal, 1) < 0 && errno == EINTR) {
    }
    spdlog::info("{} received: finishing calls in progress and stopping", signal == SIGTERM ? "SIGTERM" : "SIGINT");
    server.GetHealthCheckService()->SetServingStatus(false);
    // Calls in progress may finish within the grace time; then the server
    // stops at once, without waiting for idle connections to go away.
    if (!service.StopAndDrain(std::chrono::steady_clock::now() + kShutdownGrace)) {
      spdlog::warn("calls still in progress after {} s are cancelled", kShutdownGrace.count());
    }
    server.Shutdown(std::chrono::system_clock::now());
  });
  server.Wait();
  waiter.join();
}

}  // namespace

int main(int argc, char** argv) {
  ctserver::ServerOptions options;
  if (int code = ctserver::ParseServerOptions(argc, argv, &options); code >= 0) return code;
  SetUpLogging(options.logLevel);

  if (std::string why = ctserver::CheckListenPolicy(options); !why.empty()) {
    spdlog::error("{}", why);
    return 2;
  }
  ctserver::TokenCheck token;
  if (!options.tokenFile.empty()) {
    std::string error;
    if (!token.Load(options.tokenFile, &error)) {
      spdlog::error("{}", error);
      return 2;
    }
  }
  const std::shared_ptr<grpc::ServerCredentials> credentials = MakeCredentials(options);
  if (!credentials) return 2;
  if (!CatchStopSignals()) return 1;

  std::unique_ptr<ctserver::ServerCore> core = OpenCore(options);
  if (!core) return 1;
  if (options.listen.rfind("unix:", 0) == 0 && UnixSocketInUse(options.listen.substr(5))) {
    spdlog::error("cannot listen on {}: another server is listening there", options.listen);
    return 1;
  }

  ctserver::AdminService service(*core, token);
  int port = 0;
  std::unique_ptr<grpc::Server> server = StartServer(options, credentials, service, &port);
  if (!server) return 1;
  server->GetHealthCheckService()->SetServingStatus(true);
  if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
    spdlog::error("cannot write the port file {}", options.portFile);
    server->Shutdown();
    return 1;
  }
  LogStarted(options, token, port);
  ServeUntilStopped(*server, service);
  server.reset();
  core.reset();  // closes the database
  spdlog::info("ctserver stopped");
  return 0;
}
