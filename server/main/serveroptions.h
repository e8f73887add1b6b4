// The command line of ctserver and the rules that decide whether an address
// may be listened on.
#pragma once

#include <cstddef>
#include <string>

namespace ctserver {

struct ServerOptions {
  std::string dbPath;
  std::string dbPasswordFile;
  std::string symbolsPath;
  std::string dataDir;
  std::string listen = "127.0.0.1:7310";
  std::string portFile;
  std::string tlsCert;
  std::string tlsKey;
  std::string tokenFile;
  size_t maxMessageBytes = size_t{16} << 20;
  std::string logLevel = "info";
};

// Parses the command line.  Returns -1 to go on, otherwise the exit code
// (0 after --help, non-zero after an error, which has been printed).
int ParseServerOptions(int argc, char** argv, ServerOptions* options);

// True when a listening address is a unix socket or has a plain decimal
// port from 0 to 65535 (for each address of an ipv4: or ipv6: list).
bool IsValidListenPort(const std::string& address);

// True for unix: sockets and for hosts on the loopback interface
// (127.0.0.0/8, ::1, localhost).
bool IsLocalAddress(const std::string& address);

// Empty when the options may be served as they stand, otherwise why not:
// an address beyond loopback needs TLS and a token; TLS needs both files.
std::string CheckListenPolicy(const ServerOptions& options);

}  // namespace ctserver
