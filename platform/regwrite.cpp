// Writing a RegDocument in the regedit export format (CRLF line ends).
#include "platform/regformat.h"

#include <cstdio>

namespace {

constexpr const char* kEol = "\r\n";
constexpr size_t kWrapColumn = 77;  // regedit breaks hex lines near 80 columns

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
    }
    out += c;
  }
  out += '"';
}

bool IsPlainText(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) {
    return false;
  }
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') {
      return false;
    }
  }
  return true;
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

void AppendHex(std::string& out, size_t lineStart, std::string_view prefix, const std::vector<uint8_t>& bytes) {
  out += prefix;
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
    if (i + 1 < bytes.size()) {
      out += ',';
      if (out.size() - lineStart >= kWrapColumn) {
        out += '\\';
        out += kEol;
        lineStart = out.size();
        out += "  ";
      }
    }
  }
}

bool IsUtf8(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> wide;
  return RegUtf8ToUtf16Le(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), wide);
}

// Whether a text value needs the hex form but is not UTF-8, so that the
// UTF-16 hex text of a Version 5.00 file cannot hold it.
bool NeedsSingleByteHex(const RegValue& value) {
  return IsTextType(value.type) && !(value.type == REG_SZ && IsPlainText(value.data)) && !IsUtf8(value.data);
}

bool AnyNeedsSingleByteHex(const RegNode& node) {
  for (const RegValue& value : node.values) {
    if (NeedsSingleByteHex(value)) {
      return true;
    }
  }
  for (const auto& child : node.children) {
    if (AnyNeedsSingleByteHex(*child)) {
      return true;
    }
  }
  return false;
}

void AppendValue(std::string& out, const RegValue& value, bool wideText) {
  for (const std::string& note : value.notes) {
    out += note;
    out += kEol;
  }
  size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.name);
  }
  out += '=';
  const std::vector<uint8_t>& data = value.data;
  if (value.type == REG_SZ && IsPlainText(data)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1));
  } else if (value.type == REG_DWORD && data.size() == 4) {
    char buf[16];
    unsigned v = static_cast<unsigned>(data[0]) | (static_cast<unsigned>(data[1]) << 8) |
                 (static_cast<unsigned>(data[2]) << 16) | (static_cast<unsigned>(data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", v);
    out += buf;
  } else if (value.type == REG_BINARY) {
    AppendHex(out, lineStart, "hex:", data);
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    std::vector<uint8_t> wide;
    if (wideText && IsTextType(value.type) &&
        RegUtf8ToUtf16Le(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), wide)) {
      AppendHex(out, lineStart, prefix, wide);
    } else {
      AppendHex(out, lineStart, prefix, data);
    }
  }
  out += kEol;
}

void AppendNode(std::string& out, const RegNode& node, const std::string& path, bool isRoot, bool wideText) {
  bool emit = !isRoot || node.listed || !node.values.empty() || !node.keyClass.empty() || !node.notes.empty();
  if (emit) {
    for (const std::string& note : node.notes) {
      out += note;
      out += kEol;
    }
    out += '[';
    out += path;
    out += ']';
    out += kEol;
    if (!node.keyClass.empty()) {
      out += ";@class=";
      AppendQuoted(out, node.keyClass);
      out += kEol;
    }
    for (const RegValue& value : node.values) {
      AppendValue(out, value, wideText);
    }
    out += kEol;
  }
  for (const auto& child : node.children) {
    AppendNode(out, *child, path + "\\" + child->name, false, wideText);
  }
}

}  // namespace

std::string RegFormatText(const RegDocument& doc) {
  // A text value that is not UTF-8 and needs the hex form can only be kept
  // byte for byte in the REGEDIT4 form, whose hex text is single-byte.
  bool wideText = true;
  for (const auto& root : doc.roots) {
    wideText = wideText && !AnyNeedsSingleByteHex(*root);
  }
  std::string out = wideText ? "Windows Registry Editor Version 5.00" : "REGEDIT4";
  out += kEol;
  out += kEol;
  for (const auto& root : doc.roots) {
    AppendNode(out, *root, root->name, true, wideText);
  }
  for (const std::string& note : doc.tailNotes) {
    out += note;
    out += kEol;
  }
  return out;
}
