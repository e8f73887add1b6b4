// The demo installation: a registry file, the help pages and a database of
// demo profiles, created once in a folder of the user's own.  The folder
// becomes the installation's root path; "Default_Server" is the server core
// run in-process on the database there.
#pragma once

#include <string>

namespace demo {

// The longest folder accepted: the editor builds the help path
// (<folder>/Client/Admin/help/index.html) in 260 bytes.
inline constexpr size_t kMaxFolderBytes = 200;

// What the folder holds.
inline constexpr const char* kRegistryFileName = "halden-client.reg";
inline constexpr const char* kDatabaseFileName = "profiles.db";
inline constexpr const char* kHelpFolder = "Client/Admin/help";

// ${XDG_DATA_HOME:-$HOME/.local/share}/quelt/demo; empty when neither
// variable gives an absolute folder.
std::string DefaultDemoFolder();

// The registry file's text for a demo in folder (an absolute path).
std::string RegistryText(const std::string& folder, const std::string& userName);

// Creates the demo in folder unless it is there already (*created tells
// which).  The demo is built beside the folder and moved into place whole,
// so an interrupted run never leaves a half-made demo behind.  A folder
// that exists but holds no demo is left alone and reported.
bool CreateDemo(const std::string& folder, bool* created, std::string* error);

}  // namespace demo
