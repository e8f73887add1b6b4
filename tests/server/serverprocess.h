// Starts the real ctserver binary on a free loopback port with a temporary
// database, and stops it; plus small helpers to talk to it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grpcpp/generic/generic_stub.h>
#include <grpcpp/grpcpp.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "proto/ctadmin.grpc.pb.h"

#ifndef CTSERVER_PATH
#error "CTSERVER_PATH must name the ctserver binary"
#endif

class ServerProcess {
 public:
  explicit ServerProcess(std::string dir) : dir_(std::move(dir)) {}
  ~ServerProcess() {
    if (pid_ > 0) Kill(SIGKILL);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  std::string DbPath() const { return dir_ + "/profiles.db"; }
  std::string LogPath() const { return dir_ + "/ctserver.log"; }

  // Starts ctserver with the database, a port file and these arguments
  // (by default it listens on 127.0.0.1:0).  False when the process exited
  // or did not bind within the timeout.  The port file of a unix socket
  // holds 0.
  bool Start(std::vector<std::string> extra = {}, bool defaultListen = true) {
    const std::string portFile = dir_ + "/port";
    ::unlink(portFile.c_str());
    std::vector<std::string> args = {CTSERVER_PATH, "--db", DbPath(), "--port-file", portFile};
    if (defaultListen) {
      args.push_back("--listen");
      args.push_back("127.0.0.1:0");
    }
    args.insert(args.end(), extra.begin(), extra.end());
    exitStatus_ = -1;
    pid_ = ::fork();
    if (pid_ == 0) {
      int log = ::open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (log >= 0) {
        ::dup2(log, 2);
        ::dup2(log, 1);
      }
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      std::ifstream f(portFile);
      int port = 0;
      if (f >> port) {
        port_ = port;
        return true;
      }
      if (Exited()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // Sends the signal and waits (up to 20 s) for the process to end; gives
  // the wait status, or -1 when it did not end.
  int Kill(int signal) {
    if (pid_ <= 0) return exitStatus_;
    ::kill(pid_, signal);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      if (Exited()) return exitStatus_;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return -1;
  }

  // Waits for a process that should end by itself; gives its wait status.
  int WaitExit() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      if (Exited()) return exitStatus_;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Kill(SIGKILL);
  }

  std::string Log() const {
    std::ifstream f(LogPath());
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  int port() const { return port_; }
  std::string Target() const { return "127.0.0.1:" + std::to_string(port_); }

  std::shared_ptr<grpc::Channel> Channel() const {
    grpc::ChannelArguments args;
    args.SetMaxReceiveMessageSize(64 << 20);
    args.SetMaxSendMessageSize(64 << 20);
    return grpc::CreateCustomChannel(Target(), grpc::InsecureChannelCredentials(), args);
  }

 private:
  bool Exited() {
    if (pid_ <= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = status;
      pid_ = -1;
      return true;
    }
    return false;
  }

  std::string dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exitStatus_ = -1;
};

// A client context with a deadline (and a token, when given).
inline std::unique_ptr<grpc::ClientContext> Context(const std::string& token = std::string(), int seconds = 10) {
  auto c = std::make_unique<grpc::ClientContext>();
  c->set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(seconds));
  if (!token.empty()) c->AddMetadata("authorization", "Bearer " + token);
  return c;
}

// Calls a method with raw request bytes; gives the status and the reply bytes.
inline grpc::Status RawCall(const std::shared_ptr<grpc::Channel>& channel, const std::string& method,
                            const std::string& request, std::string* reply) {
  grpc::GenericStub stub(channel);
  grpc::CompletionQueue cq;
  auto ctx = Context();
  grpc::Slice slice(request);
  grpc::ByteBuffer send(&slice, 1);
  auto call = stub.PrepareUnaryCall(ctx.get(), method, send, &cq);
  call->StartCall();
  grpc::ByteBuffer received;
  grpc::Status status;
  call->Finish(&received, &status, reinterpret_cast<void*>(1));
  void* tag = nullptr;
  bool ok = false;
  cq.Next(&tag, &ok);
  cq.Shutdown();
  while (cq.Next(&tag, &ok)) {
  }
  reply->clear();
  std::vector<grpc::Slice> slices;
  if (status.ok() && received.Dump(&slices).ok()) {
    for (const auto& s : slices) reply->append(reinterpret_cast<const char*>(s.begin()), s.size());
  }
  return status;
}

// The standard health check: true when the server reports SERVING.
inline bool HealthServing(const std::shared_ptr<grpc::Channel>& channel) {
  std::string reply;
  grpc::Status s = RawCall(channel, "/grpc.health.v1.Health/Check", std::string(), &reply);
  return s.ok() && reply == std::string("\x08\x01", 2);  // status = SERVING
}
