#include "server/main/serveroptions.h"

#include <arpa/inet.h>

#include <CLI/CLI.hpp>
#include <algorithm>

namespace ctserver {

int ParseServerOptions(int argc, char** argv, ServerOptions* o) {
  CLI::App app{"ctserver: the CT server that stores profiles, symbols and services for Quelt"};
  app.add_option("--db", o->dbPath, "SQLite database file (created when missing)")->required();
  app.add_option("--symbols", o->symbolsPath, "symbol table file (default: the built-in table)")
      ->check(CLI::ExistingFile);
  app.add_option("--data-dir", o->dataDir, "folder for profile import and export (default: the database's folder)");
  app.add_option("--listen", o->listen,
                 "address to listen on: HOST:PORT (port 0 picks a free one) or unix:PATH")
      ->capture_default_str();
  app.add_option("--port-file", o->portFile, "file to write the bound port number to, once bound");
  app.add_option("--tls-cert", o->tlsCert, "PEM certificate chain for TLS")->check(CLI::ExistingFile);
  app.add_option("--tls-key", o->tlsKey, "PEM private key for TLS")->check(CLI::ExistingFile);
  app.add_option("--token-file", o->tokenFile, "file whose first line is the token every call must carry")
      ->check(CLI::ExistingFile);
  app.add_option("--max-message-bytes", o->maxMessageBytes, "largest request accepted")
      ->check(CLI::Range(size_t{1024}, size_t{1} << 30))
      ->capture_default_str();
  app.add_option("--log-level", o->logLevel, "trace, debug, info, warn or error")
      ->check(CLI::IsMember({"trace", "debug", "info", "warn", "error"}))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return -1;
}

bool IsLocalAddress(const std::string& address) {
  if (address.rfind("unix:", 0) == 0 || address.rfind("unix-abstract:", 0) == 0) return true;
  std::string rest = address;
  for (const char* scheme : {"dns:///", "ipv4:", "ipv6:"}) {
    if (rest.rfind(scheme, 0) == 0) rest = rest.substr(std::string(scheme).size());
  }
  std::string host;
  if (!rest.empty() && rest[0] == '[') {
    size_t close = rest.find(']');
    if (close == std::string::npos) return false;
    host = rest.substr(1, close - 1);
    if (close + 1 >= rest.size() || rest[close + 1] != ':') return false;
  } else {
    size_t colon = rest.rfind(':');
    if (colon == std::string::npos) return false;
    host = rest.substr(0, colon);
  }
  if (host == "localhost" || host == "::1") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    return (ntohl(v4.s_addr) >> 24) == 127;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
    // ::ffff:127.x.x.x is loopback too.
    static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::equal(mapped, mapped + 12, v6.s6_addr) && v6.s6_addr[12] == 127;
  }
  return false;
}

std::string CheckListenPolicy(const ServerOptions& o) {
  if (o.tlsCert.empty() != o.tlsKey.empty()) return "TLS needs both --tls-cert and --tls-key";
  if (IsLocalAddress(o.listen)) return std::string();
  if (o.tlsCert.empty() || o.tokenFile.empty()) {
    return "refusing to listen on " + o.listen +
           ": an address beyond loopback needs TLS (--tls-cert and --tls-key) and a token (--token-file)";
  }
  return std::string();
}

}  // namespace ctserver
