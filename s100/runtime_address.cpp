#include "s100/runtime_address.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/registry.h"
#include "s100/cterrors.h"

namespace ct::runtime {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool Fail(uint32_t* error, uint32_t code) {
  if (error) *error = code;
  return false;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool ValidPort(const std::string& text) {
  if (!AllDigits(text) || text.size() > 5) return false;
  const long port = std::stol(text);
  return port >= 1 && port <= 65535;
}

bool ValidHostChars(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  for (unsigned char c : host) {
    if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']')) return false;
  }
  return true;
}

// Splits "host:port" or "[v6]:port"; the host keeps its brackets.
bool SplitHostPort(const std::string& text, std::string* host, std::string* port) {
  size_t colon;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string::npos || text.find(':') != colon) return false;
  }
  *host = text.substr(0, colon);
  *port = text.substr(colon + 1);
  return ValidHostChars(*host) && ValidPort(*port);
}

bool HasControlChars(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

// Reads one value of an open key: its type and its bytes.
bool QueryValue(HKEY key, const char* name, DWORD* type, std::string* data) {
  DWORD length = 0;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &length) != ERROR_SUCCESS) return false;
  if (length > kMaxAddressBytes) return false;
  std::vector<uint8_t> buffer(length + 1, 0);
  DWORD got = length;
  if (RegQueryValueExA(key, name, nullptr, type, buffer.data(), &got) != ERROR_SUCCESS) return false;
  got = std::min(got, length);
  data->assign(reinterpret_cast<const char*>(buffer.data()), got);
  if (*type == REG_SZ || *type == REG_EXPAND_SZ) {
    const size_t nul = data->find('\0');
    if (nul != std::string::npos) data->resize(nul);
  }
  return true;
}

}  // namespace

bool IsLoopbackHost(const std::string& hostIn) {
  std::string host = hostIn;
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
  if (host == "localhost" || host == "::1" || host == "[::1]") return true;
  // 127.a.b.c, every part a number from 0 to 255.
  if (!StartsWith(host, "127.")) return false;
  int parts = 0;
  size_t start = 0;
  while (start <= host.size()) {
    size_t dot = host.find('.', start);
    if (dot == std::string::npos) dot = host.size();
    const std::string part = host.substr(start, dot - start);
    if (!AllDigits(part) || part.size() > 3 || std::stoi(part) > 255) return false;
    ++parts;
    start = dot + 1;
    if (dot == host.size()) break;
  }
  return parts == 4;
}

bool LooksLikeAddress(const std::string& text) {
  return text.find(':') != std::string::npos;
}

bool ParseAddress(const std::string& textIn, ServerAddress* out, uint32_t* error) {
  const std::string text = Trim(textIn);
  if (text.empty() || text.size() > kMaxAddressBytes || HasControlChars(text)) return Fail(error, kErrBadAddress);

  if (StartsWith(text, "embedded:")) {
    const std::string path = text.substr(std::strlen("embedded:"));
    if (path.empty()) return Fail(error, kErrBadAddress);
    *out = ServerAddress{AddressKind::Embedded, path};
    return true;
  }
  if (StartsWith(text, "unix:")) {
    if (text.size() == std::strlen("unix:")) return Fail(error, kErrBadAddress);
    *out = ServerAddress{AddressKind::Unix, text};
    return true;
  }
  std::string host, port;
  if (StartsWith(text, "grpcs://")) {
    if (!SplitHostPort(text.substr(std::strlen("grpcs://")), &host, &port)) return Fail(error, kErrBadAddress);
    *out = ServerAddress{AddressKind::Tls, host + ":" + port};
    return true;
  }
  std::string hostPort = text;
  if (StartsWith(text, "dns:///")) hostPort = text.substr(std::strlen("dns:///"));
  if (!SplitHostPort(hostPort, &host, &port)) return Fail(error, kErrBadAddress);
  // Plain gRPC carries the token in the clear: only to this machine.
  if (!IsLoopbackHost(host)) return Fail(error, kErrBadAddress);
  *out = ServerAddress{AddressKind::Plain, text};
  return true;
}

bool AddressForHostName(const std::string& host, ServerAddress* out, uint32_t* error) {
  if (!ValidHostChars(host) || host.find(':') != std::string::npos) return Fail(error, kErrBadAddress);
  const std::string target = host + ":" + std::to_string(kDefaultPort);
  *out = ServerAddress{IsLoopbackHost(host) ? AddressKind::Plain : AddressKind::Tls, target};
  return true;
}

bool ResolveServer(const std::string& name, ServerAddress* out, uint32_t* error) {
  if (name.empty() || name.size() > kMaxServerNameBytes || HasControlChars(name)) {
    return Fail(error, kErrUnknownServer);
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServersKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = REG_NONE;
    std::string data;
    const bool known = QueryValue(key, name.c_str(), &type, &data);
    RegCloseKey(key);
    if (known) {
      if (type != REG_SZ && type != REG_EXPAND_SZ) return Fail(error, kErrBadAddress);
      const std::string address = Trim(data);
      if (address.empty()) return AddressForHostName(name, out, error);
      return ParseAddress(address, out, error);
    }
  }
  if (LooksLikeAddress(name)) return ParseAddress(name, out, error);
  return Fail(error, kErrUnknownServer);
}

RuntimeSettings ReadRuntimeSettings() {
  RuntimeSettings settings;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return settings;
  auto readNumber = [&](const char* name, uint32_t* value, uint32_t low, uint32_t high) {
    DWORD type = REG_NONE;
    std::string data;
    if (!QueryValue(key, name, &type, &data) || type != REG_DWORD || data.size() != 4) return;
    uint32_t number;
    std::memcpy(&number, data.data(), 4);
    *value = std::clamp(number, low, high);
  };
  auto readText = [&](const char* name, std::string* value) {
    DWORD type = REG_NONE;
    std::string data;
    if (!QueryValue(key, name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return;
    *value = Trim(data);
  };
  readNumber("ConnectTimeoutMs", &settings.connectTimeoutMs, 50, 600000);
  readNumber("CallTimeoutMs", &settings.callTimeoutMs, 50, 3600000);
  readText("TokenFile", &settings.tokenFile);
  readText("CaFile", &settings.caFile);
  RegCloseKey(key);
  return settings;
}

}  // namespace ct::runtime
