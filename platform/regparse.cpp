// Reading the regedit export format into a RegDocument.
#include "platform/regformat.h"

#include <cstdint>
#include <optional>

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kClassNote = ";@class=";

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes UTF-16LE; with lenient set, a bad unit becomes U+FFFD and the
// result says so by returning false while still filling out.
bool DecodeUtf16Le(const uint8_t* data, size_t size, std::string& out, bool lenient) {
  out.clear();
  bool clean = (size % 2) == 0;
  if (!clean && !lenient) {
    return false;
  }
  size_t units = size / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = data[2 * i] | (static_cast<uint32_t>(data[2 * i + 1]) << 8);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      uint32_t lo = data[2 * i + 2] | (static_cast<uint32_t>(data[2 * i + 3]) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      if (!lenient) {
        return false;
      }
      clean = false;
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return clean;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> ParseHexNumber(std::string_view s) {
  if (s.empty() || s.size() > 8) {
    return std::nullopt;
  }
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) {
      return std::nullopt;
    }
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && RegNameEquals(s.substr(0, prefix.size()), prefix);
}

// Reads a quoted text at s[pos] == '"' with the \\ and \" escapes (any other
// backslash stands for itself).  Leaves pos after the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
  out.clear();
  if (pos >= s.size() || s[pos] != '"') {
    return false;
  }
  for (size_t i = pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[i + 1];
      ++i;
      continue;
    }
    out += c;
  }
  return false;
}

// After a complete value only blanks and a ; comment may follow.
bool OnlyTrailer(std::string_view rest) {
  rest = Trim(rest);
  return rest.empty() || rest.front() == ';';
}

bool SplitKeyPath(std::string_view text, std::string& hive, std::vector<std::string>& path, std::string& why) {
  path.clear();
  size_t start = 0;
  std::vector<std::string_view> parts;
  while (true) {
    size_t cut = text.find('\\', start);
    parts.push_back(text.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start));
    if (cut == std::string_view::npos) {
      break;
    }
    start = cut + 1;
  }
  if (parts.size() > 1 && parts.back().empty()) {
    parts.pop_back();  // a trailing backslash is harmless
  }
  std::string_view canonical = RegCanonicalHive(parts.front());
  if (canonical.empty()) {
    why = "unknown root key";
    return false;
  }
  if (parts.size() - 1 > kRegMaxDepth) {
    why = "key path too deep";
    return false;
  }
  hive = std::string(canonical);
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) {
      why = "empty key name in path";
      return false;
    }
    if (parts[i].size() > kRegMaxKeyNameLen) {
      why = "key name too long";
      return false;
    }
    path.emplace_back(parts[i]);
  }
  return true;
}

class Parser {
 public:
  Parser(RegDocument& doc, std::vector<RegDiagnostic>* diags) : doc_(doc), diags_(diags) {}

  void Run(const std::vector<std::string_view>& lines) {
    size_t i = 0;
    // The header is the first line that is not blank.
    while (i < lines.size() && Trim(lines[i]).empty()) {
      ++i;
    }
    if (i < lines.size()) {
      std::string_view first = Trim(lines[i]);
      if (first == kHeader5) {
        unicode_ = true;
        ++i;
      } else if (first == kHeader4) {
        ++i;
      } else {
        Report(i + 1, "missing header line");
      }
    }
    while (i < lines.size()) {
      size_t lineNo = i + 1;
      std::string_view line = Trim(lines[i]);
      ++i;
      if (line.empty()) {
        continue;
      }
      if (line.front() == ';') {
        if (current_ != nullptr && StartsWithNoCase(line, kClassNote)) {
          ReadClass(line, lineNo);
        } else {
          pending_.emplace_back(line);
        }
        continue;
      }
      if (line.front() == '[') {
        ReadSection(line, lineNo);
        continue;
      }
      if (line.front() == '"' || line.front() == '@') {
        ReadValue(lines, i, line, lineNo);
        continue;
      }
      Bad(lineNo, line, "unrecognised line");
    }
    for (auto& note : pending_) {
      doc_.tailNotes.push_back(std::move(note));
    }
    pending_.clear();
  }

 private:
  void Report(size_t line, std::string message) {
    if (diags_ != nullptr) {
      diags_->push_back({line, std::move(message)});
    }
  }

  // A line that cannot be read: reported, and kept as a comment.
  void Bad(size_t line, std::string_view text, const std::string& why) {
    Report(line, why);
    Keep(text);
  }

  // Comments a bad line out, so that it cannot read as a class line either.
  void Keep(std::string_view text) {
    bool looksLikeClass = StartsWithNoCase(std::string(";") + std::string(text), kClassNote);
    pending_.push_back((looksLikeClass ? "; " : ";") + std::string(text));
  }

  void ReadClass(std::string_view line, size_t lineNo) {
    size_t pos = kClassNote.size();
    std::string text;
    if (!ParseQuoted(line, pos, text) || !OnlyTrailer(line.substr(pos))) {
      Bad(lineNo, line, "bad key class line");
      return;
    }
    current_->keyClass = std::move(text);
  }

  void ReadSection(std::string_view line, size_t lineNo) {
    current_ = nullptr;
    size_t close = line.rfind(']');
    if (close == std::string_view::npos || !OnlyTrailer(line.substr(close + 1))) {
      Bad(lineNo, line, "section without closing bracket");
      return;
    }
    std::string_view inner = line.substr(1, close - 1);
    bool remove = !inner.empty() && inner.front() == '-';
    if (remove) {
      inner.remove_prefix(1);
    }
    std::string hive;
    std::vector<std::string> path;
    std::string why;
    if (!SplitKeyPath(inner, hive, path, why)) {
      Bad(lineNo, line, why);
      return;
    }
    if (remove) {
      if (path.empty()) {
        Bad(lineNo, line, "a root key cannot be deleted");
        return;
      }
      std::vector<std::string> parentPath(path.begin(), path.end() - 1);
      if (RegNode* parent = doc_.Find(hive, parentPath)) {
        parent->RemoveChild(path.back());
      }
      deleting_ = true;
      return;
    }
    deleting_ = false;
    RegNode* node = &doc_.Root(hive);
    for (const std::string& name : path) {
      node = &node->Child(name);
    }
    node->listed = true;
    for (auto& note : pending_) {
      node->notes.push_back(std::move(note));
    }
    pending_.clear();
    current_ = node;
  }

  void ReadValue(const std::vector<std::string_view>& lines, size_t& next, std::string_view line, size_t lineNo) {
    // Gather continuation lines first so that a bad entry is skipped whole.
    std::string joined;
    std::string_view text = line;
    size_t firstLine = next - 1;
    if (IsHexEntry(line) && line.back() == '\\') {
      joined.assign(line.substr(0, line.size() - 1));
      while (next < lines.size()) {
        std::string_view more = Trim(lines[next]);
        ++next;
        bool goesOn = !more.empty() && more.back() == '\\';
        joined.append(goesOn ? more.substr(0, more.size() - 1) : more);
        if (!goesOn) {
          break;
        }
      }
      text = joined;
    }
    std::string why;
    if (!ApplyValue(text, why)) {
      Report(lineNo, why);
      for (size_t k = firstLine; k < next; ++k) {
        Keep(Trim(lines[k]));
      }
    }
  }

  static bool IsHexEntry(std::string_view line) {
    size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
      return false;
    }
    std::string_view rest = Trim(line.substr(pos));
    if (rest.empty() || rest.front() != '=') {
      return false;
    }
    return StartsWithNoCase(Trim(rest.substr(1)), "hex");
  }

  bool ApplyValue(std::string_view text, std::string& why) {
    size_t pos = 0;
    std::string name;
    if (text.front() == '@') {
      pos = 1;
    } else if (!ParseQuoted(text, pos, name)) {
      why = "value name without closing quote";
      return false;
    }
    if (name.size() > kRegMaxValueNameLen) {
      why = "value name too long";
      return false;
    }
    std::string_view rest = Trim(text.substr(pos));
    if (rest.empty() || rest.front() != '=') {
      why = "value without '='";
      return false;
    }
    rest = Trim(rest.substr(1));
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
    bool remove = false;
    if (!ParseData(rest, type, data, remove, why)) {
      return false;
    }
    if (current_ == nullptr) {
      why = deleting_ ? "value under a deleted key" : "value outside any key";
      return false;
    }
    if (remove) {
      current_->RemoveValue(name);
      return true;
    }
    RegValue& value = current_->SetValue(name, type, std::move(data));
    for (auto& note : pending_) {
      value.notes.push_back(std::move(note));
    }
    pending_.clear();
    return true;
  }

  bool ParseData(std::string_view rest, DWORD& type, std::vector<uint8_t>& data, bool& remove, std::string& why) {
    if (rest == "-") {
      remove = true;
      return true;
    }
    if (!rest.empty() && rest.front() == '"') {
      size_t pos = 0;
      std::string textValue;
      if (!ParseQuoted(rest, pos, textValue)) {
        why = "text without closing quote";
        return false;
      }
      if (!OnlyTrailer(rest.substr(pos))) {
        why = "unexpected text after value";
        return false;
      }
      if (textValue.size() >= kRegMaxValueBytes) {
        why = "value data too large";
        return false;
      }
      type = REG_SZ;
      data.assign(textValue.begin(), textValue.end());
      data.push_back(0);
      return true;
    }
    if (StartsWithNoCase(rest, "dword:")) {
      std::string_view digits = rest.substr(6);
      size_t end = 0;
      while (end < digits.size() && HexDigit(digits[end]) >= 0) {
        ++end;
      }
      std::optional<uint32_t> v = ParseHexNumber(digits.substr(0, end));
      if (!v || !OnlyTrailer(digits.substr(end))) {
        why = "bad dword value";
        return false;
      }
      type = REG_DWORD;
      data = {static_cast<uint8_t>(*v), static_cast<uint8_t>(*v >> 8), static_cast<uint8_t>(*v >> 16),
              static_cast<uint8_t>(*v >> 24)};
      return true;
    }
    if (StartsWithNoCase(rest, "hex")) {
      std::string_view after = rest.substr(3);
      type = REG_BINARY;
      if (!after.empty() && after.front() == '(') {
        size_t close = after.find(')');
        std::optional<uint32_t> n =
            close == std::string_view::npos ? std::nullopt : ParseHexNumber(Trim(after.substr(1, close - 1)));
        if (!n) {
          why = "bad hex(type)";
          return false;
        }
        type = *n;
        after = after.substr(close + 1);
      }
      if (after.empty() || after.front() != ':') {
        why = "hex value without ':'";
        return false;
      }
      after = after.substr(1);
      size_t comment = after.find(';');
      if (comment != std::string_view::npos) {
        after = after.substr(0, comment);
      }
      if (!ParseBytes(after, data)) {
        why = "bad hex bytes";
        return false;
      }
      if (data.size() > kRegMaxValueBytes) {
        why = "value data too large";
        return false;
      }
      if (unicode_ && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
        std::string decoded;
        if (RegUtf16LeToUtf8(data.data(), data.size(), decoded)) {
          data.assign(decoded.begin(), decoded.end());
        }
      }
      return true;
    }
    why = "unknown value form";
    return false;
  }

  static bool ParseBytes(std::string_view list, std::vector<uint8_t>& data) {
    list = Trim(list);
    if (list.empty()) {
      return true;
    }
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = list.find(',', start);
      std::string_view token =
          Trim(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (token.empty()) {
        // Only a final comma may leave nothing behind it.
        return comma == std::string_view::npos && start == list.size();
      }
      if (token.size() > 2) {
        return false;
      }
      std::optional<uint32_t> v = ParseHexNumber(token);
      if (!v) {
        return false;
      }
      data.push_back(static_cast<uint8_t>(*v));
      if (comma == std::string_view::npos) {
        return true;
      }
      start = comma + 1;
    }
    return true;
  }

  RegDocument& doc_;
  std::vector<RegDiagnostic>* diags_;
  RegNode* current_ = nullptr;
  bool deleting_ = false;
  bool unicode_ = false;
  std::vector<std::string> pending_;
};

}  // namespace

bool RegUtf16LeToUtf8(const uint8_t* data, size_t size, std::string& out) {
  return DecodeUtf16Le(data, size, out, false);
}

bool RegUtf8ToUtf16Le(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    uint32_t c = s[i];
    uint32_t cp = 0;
    size_t len = 0;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      return false;
    }
    if (i + len > n) {
      return false;
    }
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    if (cp >= 0x10000) {
      uint32_t v = cp - 0x10000;
      uint32_t hi = 0xD800 + (v >> 10);
      uint32_t lo = 0xDC00 + (v & 0x3FF);
      out.push_back(static_cast<uint8_t>(hi));
      out.push_back(static_cast<uint8_t>(hi >> 8));
      out.push_back(static_cast<uint8_t>(lo));
      out.push_back(static_cast<uint8_t>(lo >> 8));
    } else {
      out.push_back(static_cast<uint8_t>(cp));
      out.push_back(static_cast<uint8_t>(cp >> 8));
    }
    i += len;
  }
  return true;
}

bool RegParseText(std::string_view bytes, RegDocument& doc, std::vector<RegDiagnostic>* diags) {
  auto report = [&](std::string message) {
    if (diags != nullptr) {
      diags->push_back({0, std::move(message)});
    }
  };
  if (bytes.size() > kRegMaxFileBytes) {
    report("file larger than 16 MiB");
    return false;
  }
  std::string decoded;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    if (!DecodeUtf16Le(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2, decoded, true)) {
      report("bad UTF-16 text replaced");
    }
    bytes = decoded;
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
  }
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    if (lines.size() >= kRegMaxLines) {
      report("file has more than 1000000 lines");
      return false;
    }
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) {
      end = bytes.size();
    }
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    lines.push_back(line);
    start = end + 1;
  }
  Parser(doc, diags).Run(lines);
  return true;
}
