// Profiles as local files.  A profile file holds the data-element text of
// the whole profile (a key-value set), exactly the text that `ctadm get`
// writes and `ctadm put` reads, so the editor and the command line
// exchange profiles.  Symbols are written by name through a server's
// symbol table, and names are read back through it.
//
// Each operation answers 0, or the string-table id of the message that
// explains its failure.
#pragma once

#include <string>

#include "app/cmdids.h"
#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "resources/stringids.h"
#include "s100/ctcontainers.h"

class MultiAdminSession;

// The file dialogs' filter and the files' suffix.
inline constexpr const char* kProfileFileFilter = "Profile text (*.deif)";
inline constexpr const char* kProfileFileSuffix = "deif";

// The set as text, its symbols named on the server (a symbol the server
// cannot name is written as #number), ending in a line break.
// Asks for an existing profile file to compare with; empty when cancelled.
CString AskForProfileFile();

UINT ProfileToText(MultiAdminSession* session, const CString& server, CTkvs set, std::string* text);

// Reads profile text into the set, names translated on the server.  The set
// is only changed on success.
UINT TextToProfile(MultiAdminSession* session, const CString& server, const std::string& text, CTkvs set);

// Reads a profile file: a plain file of at most the text format's limit.
// Nothing blocks on a FIFO or device.
UINT ReadProfileFile(const std::string& path, std::string* text);

// Writes the file atomically: a temporary file beside it is written,
// flushed to disk and renamed over it, so a failure never leaves a part of
// a file behind.
UINT WriteProfileFile(const std::string& path, const std::string& text);
