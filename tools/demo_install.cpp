#include "tools/demo_install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/resourcefile.h"
#include "tools/ctadm_client.h"
#include "tools/demo_profiles.h"

namespace fs = std::filesystem;

namespace demo {
namespace {

// A help page is a few kilobytes; this only stops a damaged build.
constexpr size_t kMaxHelpPageBytes = 16u << 20;

// A quoted registry text: backslash and quote escaped.
std::string RegQuote(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Folder names go into the registry file and into server addresses: no
// control bytes, and short enough for the editor's help path.
bool CheckFolder(const std::string& folder, std::string* error) {
  if (folder.empty() || folder[0] != '/') {
    *error = "the demo folder must be an absolute path";
    return false;
  }
  if (folder.size() > kMaxFolderBytes) {
    *error = "the demo folder's path is longer than " + std::to_string(kMaxFolderBytes) + " bytes: " + folder;
    return false;
  }
  for (const char c : folder) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      *error = "the demo folder's path holds a control character";
      return false;
    }
  }
  return true;
}

// The login name when it is a plain word, else a stand-in.
std::string UserName() {
  const char* user = std::getenv("USER");
  if (user == nullptr || *user == '\0' || std::strlen(user) > 64) return "Demo User";
  for (const char* p = user; *p != '\0'; ++p)
    if (static_cast<unsigned char>(*p) < 0x21 || static_cast<unsigned char>(*p) > 0x7E) return "Demo User";
  return user;
}

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// The help pages compiled into this program (":/help/...").
bool CopyHelp(const fs::path& target, std::string* error) {
  std::error_code ec;
  fs::create_directories(target, ec);
  if (ec) {
    *error = "cannot create " + target.string() + ": " + ec.message();
    return false;
  }
  int copied = 0;
  for (const std::string& relative : ListResourceFolder("help")) {
    const fs::path file = target / relative;
    fs::create_directories(file.parent_path(), ec);
    std::string bytes;
    if (ec || !ReadResourceFile("help/" + relative, kMaxHelpPageBytes, &bytes)) {
      *error = "cannot copy the help page " + relative;
      return false;
    }
    if (!WriteText(file, bytes, error)) return false;
    ++copied;
  }
  if (copied == 0) {
    *error = "this program holds no help pages";
    return false;
  }
  return true;
}

bool StoreProfiles(const fs::path& database, std::string* error) {
  ctadm::AdminClient client;
  if (!client.Open("embedded:" + database.string(), error)) return false;
  for (const DemoProfile& profile : DemoProfiles()) {
    if (!client.Put(profile.name, profile.profileClass, profile.text, false, error)) {
      *error = "demo profile " + profile.name + ": " + *error;
      return false;
    }
  }
  return true;  // the client's end releases the database
}

}  // namespace

std::string DefaultDemoFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return std::string();
    base = std::string(home) + "/.local/share";
  }
  return base + "/quelt/demo";
}

std::string RegistryText(const std::string& folder, const std::string& userName) {
  char version[64];
  std::snprintf(version, sizeof version, "\"Major Version\"=dword:%08x\n\"Minor Version\"=dword:%08x\n",
                static_cast<unsigned>(QUELT_VERSION_MAJOR), static_cast<unsigned>(QUELT_VERSION_MINOR));
  const std::string root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Velcor\\Halden Client";
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  text += "; The Quelt demo installation, made by quelt-demo.  Point $HALDEN_REGISTRY\n";
  text += "; at this file to use it.\n\n";
  text += "[" + root + "\\CurrentVersion]\n" + version;
  text += "\"User Name\"=" + RegQuote(userName) + "\n";
  text += "\"Company Name\"=" + RegQuote("Quelt Demo") + "\n\n";
  text += "[" + root + "\\Environment]\n";
  text += "\"RootPath\"=" + RegQuote(folder) + "\n\n";
  text += "[" + root + "\\Servers\\TRNW_Administration]\n";
  text += "\"Default_Server\"=" + RegQuote("embedded:" + folder + "/" + kDatabaseFileName) + "\n";
  return text;
}

bool CreateDemo(const std::string& folderText, bool* created, std::string* error) {
  *created = false;
  if (!CheckFolder(folderText, error)) return false;
  std::string clean = folderText;
  while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  const fs::path folder(clean);
  std::error_code ec;
  if (fs::exists(folder / kRegistryFileName, ec)) return true;
  if (fs::exists(folder, ec) && !(fs::is_directory(folder, ec) && fs::is_empty(folder, ec))) {
    *error = folder.string() + " exists but holds no demo installation; remove it or choose another folder";
    return false;
  }

  // Built beside the folder, moved into place when complete.
  const fs::path staging = folder.string() + ".partial";
  fs::remove_all(staging, ec);
  fs::create_directories(staging, ec);
  if (ec) {
    *error = "cannot create " + staging.string() + ": " + ec.message();
    return false;
  }
  const bool built = CopyHelp(staging / kHelpFolder, error) && StoreProfiles(staging / kDatabaseFileName, error) &&
                     WriteText(staging / kRegistryFileName, RegistryText(folder.string(), UserName()), error);
  if (built) {
    if (fs::exists(folder, ec)) fs::remove(folder, ec);  // the empty folder
    fs::rename(staging, folder, ec);
    if (ec) *error = "cannot move the demo into " + folder.string() + ": " + ec.message();
  }
  if (!built || ec) {
    fs::remove_all(staging, ec);
    return false;
  }
  *created = true;
  return true;
}

}  // namespace demo
