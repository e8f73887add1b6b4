// Where a server is: the known-servers key of the registry maps a server
// name to an address, and the runtime's own key holds its timeouts and
// credentials.
#pragma once

#include <cstdint>
#include <string>

namespace ct::runtime {

inline constexpr const char* kServersKey = "SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration";
inline constexpr const char* kRuntimeKey = "SOFTWARE\\Velcor\\Halden Client\\Runtime";
inline constexpr int kDefaultPort = 7310;
inline constexpr uint32_t kDefaultConnectTimeoutMs = 5000;
inline constexpr uint32_t kDefaultCallTimeoutMs = 30000;
inline constexpr size_t kMaxServerNameBytes = 255;
inline constexpr size_t kMaxAddressBytes = 4096;

enum class AddressKind {
  Plain,     // gRPC without TLS, loopback hosts only
  Tls,       // gRPC over TLS
  Unix,      // gRPC on a local socket
  Embedded,  // the server core in-process on a SQLite file
};

struct ServerAddress {
  AddressKind kind = AddressKind::Plain;
  std::string target;  // the gRPC target ("127.0.0.1:7310", "unix:/run/ct.sock"), or the database path
};

struct RuntimeSettings {
  uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs;
  uint32_t callTimeoutMs = kDefaultCallTimeoutMs;
  std::string tokenFile;  // empty: no token is sent
  std::string caFile;     // empty: the system's trusted roots
};

// Parses the data of a known-servers value (or a literal address).  Forms:
// `host:port`, `dns:///host:port`, `grpcs://host:port`, `unix:/path`,
// `embedded:/path`.  A plain address must name a loopback host.  On failure
// returns false and sets *error (kErrBadAddress).
bool ParseAddress(const std::string& text, ServerAddress* out, uint32_t* error);

// The address for an empty value: the name is the host, on the default
// port; a loopback host is reached without TLS, any other with TLS.
bool AddressForHostName(const std::string& host, ServerAddress* out, uint32_t* error);

// True for `localhost`, 127.x.x.x and ::1 (bracketed or not).
bool IsLoopbackHost(const std::string& host);

// True when a name that is not a known server can be taken as an address.
bool LooksLikeAddress(const std::string& text);

// Finds the server: the name among the known servers, else (when it looks
// like one) the name as a literal address.  On failure returns false and
// sets *error (kErrUnknownServer, kErrBadAddress).
bool ResolveServer(const std::string& name, ServerAddress* out, uint32_t* error);

// Reads the runtime's settings; missing or unusable values keep their
// defaults, and timeouts are kept within sane bounds.
RuntimeSettings ReadRuntimeSettings();

}  // namespace ct::runtime
