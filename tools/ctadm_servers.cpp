#include "tools/ctadm_servers.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "common/registry.h"
#include "platform/fileio.h"
#include "s100/runtime_address.h"

namespace ctadm {
namespace {

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > ct::runtime::kMaxServerNameBytes) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool IsRegularOrMissing(const std::string& path) {
  struct stat st {};
  return path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

}  // namespace

std::string PortProblem(const std::string& addressIn) {
  std::string address = addressIn;
  while (!address.empty() && std::isspace(static_cast<unsigned char>(address.back()))) address.pop_back();
  address.erase(0, address.find_first_not_of(" \t\r\n"));
  if (address.rfind("unix:", 0) == 0 || address.rfind("embedded:", 0) == 0) return std::string();
  for (const char* scheme : {"grpcs://", "dns:///"}) {
    if (address.rfind(scheme, 0) == 0) address.erase(0, std::strlen(scheme));
  }
  size_t colon = std::string::npos;
  if (!address.empty() && address[0] == '[') {
    const size_t close = address.find(']');
    if (close != std::string::npos && close + 1 < address.size() && address[close + 1] == ':') colon = close + 1;
  } else {
    colon = address.rfind(':');
  }
  if (colon == std::string::npos) return std::string();
  const std::string port = address.substr(colon + 1);
  bool ok = !port.empty() && port.size() <= 5;
  unsigned long value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') ok = false;
    if (ok) value = value * 10 + unsigned(c - '0');
  }
  if (ok && value >= 1 && value <= 65535) return std::string();
  return "the port must be a decimal number from 1 to 65535 (in '" + EchoText(addressIn) + "')";
}

std::string OptionFileProblem() {
  const std::string file = RegistryFile();
  if (!IsRegularOrMissing(file)) return "the registry file " + EchoText(file) + " is not a regular file";
  const ct::runtime::RuntimeSettings settings = ct::runtime::ReadRuntimeSettings();
  if (!IsRegularOrMissing(settings.tokenFile)) {
    return "the token file " + EchoText(settings.tokenFile) + " (TokenFile in " +
           EchoText(file) + ") is not a regular file";
  }
  if (!IsRegularOrMissing(settings.caFile)) {
    return "the authority file " + EchoText(settings.caFile) + " (CaFile in " + EchoText(file) +
           ") is not a regular file";
  }
  return std::string();
}

std::string RegistryFile() {
  const char* file = std::getenv("HALDEN_REGISTRY");
  return file && *file ? file : "/etc/velcor/halden-client.reg";
}

bool ListServers(std::vector<KnownServer>* servers, std::string* error) {
  servers->clear();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ct::runtime::kServersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return true;  // no key: no known servers
  }
  DWORD count = 0, longestName = 0, longestData = 0;
  const LONG info = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                                     &longestData, nullptr, nullptr);
  if (info != ERROR_SUCCESS && info != ERROR_MORE_DATA) {
    RegCloseKey(key);
    *error = "cannot read the known servers in " + RegistryFile();
    return false;
  }
  std::vector<char> name(longestName + 10);
  std::vector<uint8_t> data(longestData + 10);
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size() - 1);
    DWORD type = REG_NONE;
    if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS) {
      continue;
    }
    KnownServer server;
    server.name.assign(name.data(), nameLength);
    server.usable = type == REG_SZ || type == REG_EXPAND_SZ;
    if (server.usable) {
      data[dataLength] = 0;
      server.address = reinterpret_cast<const char*>(data.data());
    }
    servers->push_back(server);
  }
  RegCloseKey(key);
  return true;
}

bool AddServer(const std::string& name, const std::string& address, std::string* error) {
  if (!ValidName(name)) {
    *error = "cannot add the server: the name must be 1 to 255 printable characters";
    return false;
  }
  ct::runtime::ServerAddress parsed;
  uint32_t code = 0;
  const bool ok = address.empty() ? ct::runtime::AddressForHostName(name, &parsed, &code)
                                  : ct::runtime::ParseAddress(address, &parsed, &code);
  if (!ok) {
    const std::string port = PortProblem(address);
    if (!port.empty()) {
      *error = "cannot add the server: " + port;
      return false;
    }
    *error = "cannot add the server: \"" + EchoText(address) +
             "\" is not an address the runtime can use (host:port on this machine, grpcs://host:port, "
             "unix:/path or embedded:/path)";
    return false;
  }
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ct::runtime::kServersKey, 0, "", 0, KEY_ALL_ACCESS, nullptr, &handle,
                      &disposition) != ERROR_SUCCESS) {
    *error = "cannot write the registry file " + RegistryFile();
    return false;
  }
  NT_RegKey key(handle);  // closes the handle
  if (!key.SetValue(name.c_str(), address.c_str())) {
    *error = "cannot write the registry file " + RegistryFile();
    return false;
  }
  return true;
}

bool RemoveServer(const std::string& name, std::string* error) {
  NT_RegKey key(HKEY_LOCAL_MACHINE, ct::runtime::kServersKey, KEY_ALL_ACCESS);
  bool known = false;
  HKEY probe = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ct::runtime::kServersKey, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
    DWORD type = REG_NONE, length = 0;
    known = RegQueryValueExA(probe, name.c_str(), nullptr, &type, nullptr, &length) == ERROR_SUCCESS;
    RegCloseKey(probe);
  }
  if (!key.IsValid() || !known) {
    *error = "cannot remove the server: \"" + EchoText(name) + "\" is not a known server";
    return false;
  }
  if (!key.DelValue(name.c_str())) {
    *error = "cannot write the registry file " + RegistryFile();
    return false;
  }
  return true;
}

}  // namespace ctadm
