// The clipboard, on QClipboard and QMimeData.  Formats are numbers as the
// editor's code expects: CF_TEXT for plain text, and numbers from 0xC000 on
// for formats registered by name.  A registered name is carried as the MIME
// type "application/x-" followed by the name in lower case with blanks as
// dashes: "Velcor DEIF" is application/x-velcor-deif; on Windows it keeps its
// name as Qt's application/x-qt-windows-mime;value="Velcor DEIF".  Plain text
// is text/plain.  The same name (in any case) always gives the same number.
#pragma once

#include <cstddef>

#include "platform/cstring.h"
#include "platform/wintypes.h"

inline constexpr UINT CF_TEXT = 1;

// The most bytes a read takes from the clipboard.
inline constexpr size_t kClipboardReadLimit = size_t{64} * 1024 * 1024;

// The number of the format with the name; 0 for a null, empty or overlong
// (over 255 characters) name, or when no more formats can be registered.
UINT RegisterClipboardFormatA(const char* name);
// The MIME type of a format; empty for an unknown number.
CString ClipboardFormatMimeType(UINT format);

// Replaces the clipboard's content with the text under the registered
// format and as plain text.  False for an unknown format or when there is
// no clipboard.
bool ClipboardSetText(UINT format, const CString& text);
// Whether the clipboard holds data of the format (plain text does not count
// as any registered format).
bool ClipboardHasFormat(UINT format);
// The text the clipboard holds in the format, up to the first zero byte.
// False when it holds none, or more than limit bytes.
bool ClipboardGetText(UINT format, CString* text, size_t limit = kClipboardReadLimit);
