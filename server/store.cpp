#include "server/store.h"

#include <chrono>
#include <fstream>

#include "server/pgstore.h"
#include "server/sqlitestore.h"

namespace ctserver {

namespace {

// A password file holds one line; anything longer than this is no password.
constexpr std::streamsize kMaxPasswordBytes = 4096;

bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the database password file " + path;
    return false;
  }
  std::string text(size_t(kMaxPasswordBytes) + 1, '\0');
  in.read(text.data(), kMaxPasswordBytes + 1);
  text.resize(size_t(in.gcount()));
  if (in.gcount() > kMaxPasswordBytes) {
    *error = "the database password file " + path + " is too large for a password";
    return false;
  }
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  if (text.empty()) {
    *error = "the database password file " + path + " is empty";
    return false;
  }
  *password = text;
  return true;
}

// True when a connection URI carries a password (user:secret@ or a
// password= parameter), which would show in the process list and the logs.
bool UriHasPassword(const std::string& uri) {
  const size_t start = uri.find("://") + 3;
  const size_t end = uri.find_first_of("/?", start);
  const std::string authority = uri.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos && authority.substr(0, at).find(':') != std::string::npos) return true;
  const size_t query = uri.find('?');
  if (query == std::string::npos) return false;
  const std::string params = "&" + uri.substr(query + 1);
  return params.find("&password=") != std::string::npos;
}

}  // namespace

std::unique_ptr<Store> Store::Open(const std::string& location, std::string* error,
                                   const std::string& passwordFile) {
  std::string localError;
  if (!error) error = &localError;
  if (!IsPostgresUri(location)) {
    if (!passwordFile.empty()) {
      *error = "a database password file is only for a PostgreSQL database";
      return nullptr;
    }
    return SqliteStore::Open(location, error);
  }
  if (UriHasPassword(location)) {
    *error = "the database URI must not carry a password: give it in --db-password-file or PGPASSFILE";
    return nullptr;
  }
  std::string password;
  if (!passwordFile.empty() && !ReadPasswordFile(passwordFile, &password, error)) return nullptr;
  return PgStore::Open(location, password, error);
}

bool Store::IsPostgresUri(const std::string& location) {
  return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

int64_t Store::NowMs() const {
  if (clock_) return clock_();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace ctserver
