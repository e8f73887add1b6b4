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

}  // namespace

int main(int argc, char** argv) {
  ctserver::ServerOptions options;
  if (int code = ctserver::ParseServerOptions(argc, argv, &options); code >= 0) return code;

  auto logger = spdlog::stderr_color_mt("ctserver");
  spdlog::set_default_logger(logger);
  spdlog::set_pattern("%Y-%m-%d %H:%M:%S.%e %l %v");
  spdlog::set_level(spdlog::level::from_str(options.logLevel));

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
  std::shared_ptr<grpc::ServerCredentials> credentials;
  if (!options.tlsCert.empty()) {
    grpc::SslServerCredentialsOptions ssl;
    grpc::SslServerCredentialsOptions::PemKeyCertPair pair;
    std::string why;
    if (!ReadSmallFile(options.tlsKey, &pair.private_key, &why) ||
        !ReadSmallFile(options.tlsCert, &pair.cert_chain, &why)) {
      spdlog::error("cannot read the TLS certificate or key: {}", why);
      return 2;
    }
    ssl.pem_key_cert_pairs.push_back(std::move(pair));
    credentials = grpc::SslServerCredentials(ssl);
  } else {
    credentials = grpc::InsecureServerCredentials();
  }

  // A stop signal may arrive on any thread (gRPC starts its own before
  // main), so the handler only writes the signal number to a pipe that one
  // thread waits on.
  if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) {
    spdlog::error("cannot create the signal pipe");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  ctserver::CoreOptions coreOptions;
  coreOptions.dbPath = options.dbPath;
  coreOptions.dbPasswordFile = options.dbPasswordFile;
  coreOptions.symbolsPath = options.symbolsPath;
  coreOptions.dataDir = options.dataDir;
  coreOptions.networkService = true;
  std::string error;
  std::unique_ptr<ctserver::ServerCore> core = ctserver::ServerCore::Open(coreOptions, &error);
  if (!core) {
    spdlog::error("{}", error);
    return 1;
  }

  if (options.listen.rfind("unix:", 0) == 0 && UnixSocketInUse(options.listen.substr(5))) {
    spdlog::error("cannot listen on {}: another server is listening there", options.listen);
    return 1;
  }

  ctserver::AdminService service(*core, token);
  grpc::EnableDefaultHealthCheckService(true);
  grpc::ServerBuilder builder;
  int port = 0;
  builder.AddListeningPort(options.listen, credentials, &port);
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
  if (!server || (!unixSocket && port == 0)) {
    spdlog::error("cannot listen on {}", options.listen);
    return 1;
  }
  server->GetHealthCheckService()->SetServingStatus(true);
  if (!options.portFile.empty() && !WritePortFile(options.portFile, unixSocket ? 0 : port)) {
    spdlog::error("cannot write the port file {}", options.portFile);
    server->Shutdown();
    return 1;
  }
  spdlog::info("ctserver started: database {}, {}, {}{}", options.dbPath,
               options.symbolsPath.empty() ? "built-in symbol table" : "symbols " + options.symbolsPath,
               credentials && !options.tlsCert.empty() ? "TLS" : "plain gRPC",
               token.enabled() ? ", token required" : "");
  if (unixSocket) {
    spdlog::info("listening on {}", options.listen);
  } else {
    spdlog::info("listening on {} (port {})", options.listen, port);
  }

  std::thread waiter([&] {
    unsigned char signal = 0;
    while (::read(g_signalPipe[0], &signal, 1) < 0 && errno == EINTR) {
    }
    spdlog::info("{} received: finishing calls in progress and stopping", signal == SIGTERM ? "SIGTERM" : "SIGINT");
    server->GetHealthCheckService()->SetServingStatus(false);
    // Calls in progress may finish within the grace time; then the server
    // stops at once, without waiting for idle connections to go away.
    if (!service.StopAndDrain(std::chrono::steady_clock::now() + kShutdownGrace)) {
      spdlog::warn("calls still in progress after {} s are cancelled", kShutdownGrace.count());
    }
    server->Shutdown(std::chrono::system_clock::now());
  });
  server->Wait();
  waiter.join();
  server.reset();
  core.reset();  // closes the database
  spdlog::info("ctserver stopped");
  return 0;
}
