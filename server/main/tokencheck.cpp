#include "server/main/tokencheck.h"

#include <grpcpp/server_context.h>

#include <algorithm>
#include <cctype>
#include <iterator>

#include "platform/fileio.h"

namespace ctserver {

namespace {
constexpr size_t kMaxTokenBytes = 4096;
constexpr size_t kMaxTokenFileBytes = 64 * 1024;
}

bool ConstantTimeEquals(const std::string& a, const std::string& b) {
  const size_t n = std::max(a.size(), b.size());
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    diff |= static_cast<unsigned char>(x ^ y);
  }
  return diff == 0;
}

bool TokenCheck::Load(const std::string& path, std::string* error) {
  // Only a small regular file: a FIFO would hold up the start for ever.
  std::string text;
  if (!ReadRegularFile(path, kMaxTokenFileBytes, &text, error)) return false;
  std::string line = text.substr(0, text.find('\n'));
  if (line.size() > kMaxTokenBytes) {
    *error = "the token in " + EchoText(path) + " is longer than 4096 bytes";
    return false;
  }
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  if (line.empty()) {
    *error = "the token file " + EchoText(path) + " holds no token on its first line";
    return false;
  }
  for (unsigned char c : line) {
    if (c < 0x21 || c > 0x7E) {
      *error = "the token in " + EchoText(path) + " must be printable characters without white space";
      return false;
    }
  }
  expected_ = "Bearer " + line;
  return true;
}

bool TokenCheck::AllowsHeader(const std::string& value) const {
  if (expected_.empty()) return true;
  if (value.size() > kMaxTokenBytes + 16) return false;
  return ConstantTimeEquals(value, expected_);
}

bool TokenCheck::Allows(const grpc::ServerContext& context) const {
  if (expected_.empty()) return true;
  const auto& metadata = context.client_metadata();
  auto range = metadata.equal_range("authorization");
  if (range.first == range.second || std::next(range.first) != range.second) return false;  // none or several
  return AllowsHeader(std::string(range.first->second.data(), range.first->second.size()));
}

}  // namespace ctserver
