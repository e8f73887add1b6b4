// Small gRPC client helpers for the server tests: a context with a deadline,
// a call with raw request bytes, and the standard health check.
#pragma once

#include <grpcpp/generic/generic_stub.h>
#include <grpcpp/grpcpp.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

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
