// Helpers of the application: the About box filler and the list of known
// servers that the New and Retrieve commands offer.
#pragma once

#include <vector>

#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "resources/stringids.h"

class CWnd;

// Registry keys of the client installation (read only).
inline constexpr const char* kCurrentVersionKey = "SOFTWARE\\Velcor\\Halden Client\\CurrentVersion";
inline constexpr const char* kEnvironmentKey = "SOFTWARE\\Velcor\\Halden Client\\Environment";
inline constexpr const char* kKnownServersKey = "SOFTWARE\\Velcor\\Halden Client\\Servers\\TRNW_Administration";

// Fills servers with the value names of the known-servers key, one entry
// "***RegistryError***" for a value that cannot be read, and an empty
// entry that ends the list.  FALSE with *messageId set (4112, 4111) when
// the key cannot be read or the memory is not there.
BOOL ReadKnownServers(std::vector<CString>* servers, UINT* messageId);

// Fills and runs the About box: the name is the first line of string
// nameId; version, licensee and company come from the registry ("***"
// when missing).  The icon is not used.
void DisplayAboutBox(UINT nameId, const void* icon, CWnd* parent);
