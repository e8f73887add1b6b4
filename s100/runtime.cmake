# The client runtime: sessions, administration and symbol calls, the gRPC
# backend and the embedded server.
list(APPEND S100_RUNTIME_SOURCES
  runtime.cpp
  runtime_address.cpp
  runtime_embedded.cpp
  runtime_errors.cpp
  runtime_grpc.cpp)
