// Reading and writing the regedit export format.
//
// Read: "Windows Registry Editor Version 5.00" or "REGEDIT4" header, UTF-8
// (with or without BOM) or UTF-16LE with BOM, CRLF or LF, [key] and [-key]
// sections, "name"="text", @=..., dword:, hex:, hex(N): with "\"
// continuation lines, "name"=-, ; comments.  In a Version 5.00 file the
// hex(1), hex(2) and hex(7) forms hold UTF-16LE text, which is handed to the
// single-byte calls as UTF-8, as the ANSI calls on Windows do.  A line that
// cannot be read is reported and skipped, and kept as a comment so that a
// later write does not lose it.
//
// Written: the Version 5.00 form with CRLF line ends, UTF-8 without BOM;
// the REGEDIT4 form instead when a text value that needs the hex form is not
// UTF-8.  What is written reads back to the same keys, values, types and
// bytes.
#pragma once

#include "platform/regdoc.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kRegMaxFileBytes = 16u * 1024u * 1024u;
inline constexpr size_t kRegMaxLines = 1000000;
inline constexpr size_t kRegMaxValueBytes = 1024u * 1024u;

struct RegDiagnostic {
  size_t line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
};

// Parses the file's bytes into doc (which should be empty).  Returns false
// only when the whole file is refused (too large, too many lines); a bad
// line is reported in diags (when given) and the rest is still read.
bool RegParseText(std::string_view bytes, RegDocument& doc, std::vector<RegDiagnostic>* diags = nullptr);

// The file text for doc.
std::string RegFormatText(const RegDocument& doc);

// Strict conversions between UTF-8 and UTF-16LE bytes; false on bad input.
bool RegUtf16LeToUtf8(const uint8_t* data, size_t size, std::string& out);
bool RegUtf8ToUtf16Le(std::string_view text, std::vector<uint8_t>& out);
