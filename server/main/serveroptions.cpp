#include "server/main/serveroptions.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>

#include "platform/fileio.h"
#include "quelt_version.h"

namespace ctserver {

namespace {

// An option file must be a regular file: a FIFO would hold up the start for
// ever, and a device is no configuration.  (The file is checked again when
// it is opened.)
const CLI::Validator kRegularFile(
    [](std::string& path) -> std::string {
      struct stat st {};
      if (::stat(path.c_str(), &st) != 0) return "no such file: " + EchoText(path);
      if (!S_ISREG(st.st_mode)) return EchoText(path) + " is not a regular file";
      return std::string();
    },
    "FILE");

const CLI::Validator kListenAddress(
    [](std::string& address) -> std::string {
      if (IsValidListenPort(address)) return std::string();
      return "the port must be a decimal number from 0 to 65535 (in '" + EchoText(address) + "')";
    },
    "ADDRESS");

// A plain decimal port in 0 to 65535.  gRPC itself would wrap a larger
// number (65537 becomes port 1).
bool ValidPortText(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + unsigned(c - '0');
  }
  return value <= 65535;
}

}  // namespace

bool IsValidListenPort(const std::string& address) {
  if (address.rfind("unix:", 0) == 0 || address.rfind("unix-abstract:", 0) == 0) return true;
  std::string rest = address;
  if (rest.rfind("dns:///", 0) == 0) rest = rest.substr(7);
  const bool list = rest.rfind("ipv4:", 0) == 0 || rest.rfind("ipv6:", 0) == 0;
  if (list) rest = rest.substr(5);
  // ipv4: and ipv6: may list several addresses, separated by commas.
  size_t start = 0;
  do {
    size_t comma = list ? rest.find(',', start) : std::string::npos;
    if (comma == std::string::npos) comma = rest.size();
    const std::string one = rest.substr(start, comma - start);
    size_t colon;
    if (!one.empty() && one[0] == '[') {
      const size_t close = one.find(']');
      if (close == std::string::npos || close + 1 >= one.size() || one[close + 1] != ':') return false;
      colon = close + 1;
    } else {
      colon = one.rfind(':');
      if (colon == std::string::npos) return false;
    }
    if (!ValidPortText(one.substr(colon + 1))) return false;
    start = comma + 1;
  } while (start <= rest.size());
  return true;
}

int ParseServerOptions(int argc, char** argv, ServerOptions* o) {
  CLI::App app{"ctserver: the CT server that stores profiles, symbols and services for Quelt"};
  app.set_version_flag("--version", "ctserver " QUELT_VERSION);
  app.add_option("--db", o->dbPath,
                 "SQLite database file (created when missing), or a PostgreSQL connection URI "
                 "postgresql://USER@HOST[:PORT]/DBNAME shared by several servers")
      ->required();
  app.add_option("--db-password-file", o->dbPasswordFile,
                 "PostgreSQL only: file whose first line is the database password (default: libpq's PGPASSFILE)")
      ->check(kRegularFile);
  app.add_option("--symbols", o->symbolsPath, "symbol table file (default: the built-in table)")
      ->check(kRegularFile);
  app.add_option("--data-dir", o->dataDir,
                 "the only folder profile import and export may read and write (default: the folder "
                 "'transfer' beside the database, created when missing); the database and its own files "
                 "are never touched");
  app.add_option("--listen", o->listen,
                 "address to listen on: HOST:PORT (port 0 to 65535; 0 picks a free one) or unix:PATH")
      ->check(kListenAddress)
      ->capture_default_str();
  app.add_option("--port-file", o->portFile, "file to write the bound port number to, once bound");
  app.add_option("--tls-cert", o->tlsCert, "PEM certificate chain for TLS")->check(kRegularFile);
  app.add_option("--tls-key", o->tlsKey, "PEM private key for TLS")->check(kRegularFile);
  app.add_option("--token-file", o->tokenFile, "file whose first line is the token every call must carry")
      ->check(kRegularFile);
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
