#include "tests/support/registry.h"

#include <cstdio>
#include <cstdlib>

#include "platform/registry.h"

namespace testsupport {
namespace {

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Dword(int64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

RegistryContents EmbeddedDefaultServer(const TempDir& dir) {
  RegistryContents contents;
  contents.servers = {{"Default_Server", "embedded:" + dir.File("profiles.db")}};
  contents.rootPath = dir.path();
  return contents;
}

std::string RegistryText(const RegistryContents& contents) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration]\r\n";
  for (const auto& [name, data] : contents.servers) text += Quote(name) + "=" + Quote(data) + "\r\n";
  text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Runtime]\r\n";
  if (contents.connectTimeoutMs >= 0) text += "\"ConnectTimeoutMs\"=" + Dword(contents.connectTimeoutMs) + "\r\n";
  if (contents.callTimeoutMs >= 0) text += "\"CallTimeoutMs\"=" + Dword(contents.callTimeoutMs) + "\r\n";
  if (!contents.tokenFile.empty()) text += "\"TokenFile\"=" + Quote(contents.tokenFile) + "\r\n";
  if (!contents.caFile.empty()) text += "\"CaFile\"=" + Quote(contents.caFile) + "\r\n";
  if (!contents.rootPath.empty())
    text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client\\Environment]\r\n\"RootPath\"=" +
            Quote(contents.rootPath) + "\r\n";
  return text;
}

void InstallRegistry(const std::string& file, const RegistryContents& contents) {
  WriteFile(file, RegistryText(contents));
  ::setenv("HALDEN_REGISTRY", file.c_str(), 1);
  RegReloadFile();
}

TempRegistry::TempRegistry() : path_(dir_.File("halden-client.reg")) {
  ::setenv("HALDEN_REGISTRY", path_.c_str(), 1);
  RegReloadFile();
}

TempRegistry::~TempRegistry() {
  ::unsetenv("HALDEN_REGISTRY");
  RegReloadFile();
}

void TempRegistry::Write(const std::string& text) {
  WriteFile(path_, text);
  RegReloadFile();
}

void TempRegistry::Install(const RegistryContents& contents) { InstallRegistry(path_, contents); }

}  // namespace testsupport
