#include "compare/difftext.h"

#include <cstdlib>
#include <cstring>

#include "s100/deif.h"

namespace compare {
namespace {

// The data-element text's translator over a namer: names only, one way.
QV_Status NameOf(uint32_t* symbol, char** text, int32_t direction, void* context) {
  const auto* namer = static_cast<const SymbolNamer*>(context);
  std::string name;
  constexpr QV_Status kNoName = QV_CreateStatus(QV_STATE_FAILURE, 0, 0);
  if (direction == 0 || namer == nullptr || !*namer || !(*namer)(*symbol, &name) || name.empty()) return kNoName;
  *text = static_cast<char*>(std::malloc(name.size() + 1));
  if (*text == nullptr) return kNoName;
  std::memcpy(*text, name.c_str(), name.size() + 1);
  return QV_OK;
}

}  // namespace

std::string ValueText(const QV_DataElement& value, const SymbolNamer& names) {
  const QV_RawDataElement raw = ToRawDataElement(value);
  char* text = nullptr;
  const QV_Status status = DEtoA(&raw, &text, &NameOf, const_cast<SymbolNamer*>(&names));
  if (status.state != QV_STATE_SUCCESS || text == nullptr) {
    std::free(text);
    return std::string();
  }
  // The writer lays nested values out on lines; a line break and the
  // indentation after it become one blank (texts escape their own breaks).
  std::string line;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') {
      while (p[1] == ' ') ++p;
      if (p[1] != '\0' && !line.empty()) line += ' ';
      continue;
    }
    line += *p;
  }
  std::free(text);
  return line;
}

std::string DifferenceLine(const Difference& diff, const SymbolNamer& oldNames, const SymbolNamer& newNames) {
  const std::string path = PathText(diff, newNames, oldNames);
  switch (diff.kind) {
    case DiffKind::Added:
      return "+ " + path + " = " + ValueText(diff.newValue, newNames);
    case DiffKind::Removed:
      return "- " + path + " = " + ValueText(diff.oldValue, oldNames);
    default:
      return "~ " + path + ": " + ValueText(diff.oldValue, oldNames) + " -> " + ValueText(diff.newValue, newNames);
  }
}

}  // namespace compare
