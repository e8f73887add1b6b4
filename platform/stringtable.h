// The editor's string table: every message, prompt, tool tip, format and
// caption, looked up by its numeric id.  The texts are compiled into
// quelt_resources (resources/strings.inc); the ids are named in
// resources/stringids.h.
#pragma once

#include "platform/cstring.h"

// The text of id; the empty text when the table has none.
CString LoadStringById(unsigned id);

// Whether the table holds an entry for id.
bool StringIdExists(unsigned id);

// Points CString::LoadString at this table.  Done once at start-up by the
// table itself; calling it again is harmless.
void InstallStringTable();
