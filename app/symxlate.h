// Moving a profile's symbols from one server's table to another's: keys and
// symbol values keep their names, and so take the target server's numbers.
// The translation is the clipboard's (ServerSymbolLookups): the profile is
// written as data-element text with the source server's names and read
// back with the target server's.
#pragma once

#include "platform/cstring.h"
#include "platform/wintypes.h"
#include "resources/stringids.h"
#include "s100/ctcontainers.h"

// Translates the set in place from the server `from` to the server `to`.
// A symbol without a name on `from` (#number) keeps its number.  Answers 0,
// or the id of the message that explains the failure, or kTranslationCancelled
// when the user cancelled a wait for a server; the set is unchanged unless
// the answer is 0.
inline constexpr UINT kTranslationCancelled = ~0u;
UINT TranslateProfileSymbols(const CString& from, const CString& to, CTkvs set);

// Whether two sets hold the same keys, in the same order, with the same
// values (symbols compared by number).
bool SameProfileContent(CTkvs a, CTkvs b);
