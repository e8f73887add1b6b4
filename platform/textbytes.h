// Byte texts and the characters they show.  Profile strings, symbol names,
// keys and profile names are bytes; they are shown as UTF-8 when they are
// valid UTF-8, else as Latin-1 (every byte one character).  No Qt here.
#pragma once

#include <cstddef>

#include "platform/cstring.h"

enum class TextEncoding { Utf8, Latin1 };

// Valid UTF-8: no overlong forms, surrogates or values beyond U+10FFFF,
// and no sequence cut off at the end.
bool IsUtf8(const char* text, size_t length);

// Utf8 for valid UTF-8 (the empty text included), else Latin1.
TextEncoding EncodingOf(const char* text, int length);
inline TextEncoding EncodingOf(const CString& text) { return EncodingOf(text.GetString(), text.GetLength()); }

// Latin-1 bytes as UTF-8.
CString Latin1ToUtf8(const CString& latin1);
// UTF-8 as Latin-1; false (and *latin1 untouched) when a character lies
// beyond U+00FF or the text is not valid UTF-8.
bool Utf8ToLatin1(const CString& utf8, CString* latin1);

// A byte text re-encoded as UTF-8, for joining with other texts into one
// that is shown (the title, a printed header): each part decoded on its own.
CString ShownAsUtf8(const CString& text);

// The longest length, at most maxBytes, at which text is cut without
// splitting a character when the text is valid UTF-8 (a Latin-1 text may
// be cut anywhere).
int FitTextLength(const char* text, int length, int maxBytes);
