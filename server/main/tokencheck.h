// The shared token that every call must carry as "authorization: Bearer
// <token>" metadata when ctserver runs with --token-file.
#pragma once

#include <string>

namespace grpc {
class ServerContext;
}

namespace ctserver {

class TokenCheck {
 public:
  // Reads the token from the first line of the file (trailing white space
  // is ignored).  False with *error when the file cannot be read or holds
  // no token.
  bool Load(const std::string& path, std::string* error);

  bool enabled() const { return !expected_.empty(); }

  // True when no token is required or the call carries the right one.
  bool Allows(const grpc::ServerContext& context) const;
  // The same on a header value as received.
  bool AllowsHeader(const std::string& value) const;

 private:
  std::string expected_;  // "Bearer <token>"
};

// Compares in time that depends only on the lengths, not on where the texts
// differ.
bool ConstantTimeEquals(const std::string& a, const std::string& b);

}  // namespace ctserver
