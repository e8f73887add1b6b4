#include "tools/ctadm_servers.h"

#include <cstdlib>

#include "common/registry.h"
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

}  // namespace

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
    *error = "cannot add the server: \"" + address +
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
    *error = "cannot remove the server: \"" + name + "\" is not a known server";
    return false;
  }
  if (!key.DelValue(name.c_str())) {
    *error = "cannot write the registry file " + RegistryFile();
    return false;
  }
  return true;
}

}  // namespace ctadm
