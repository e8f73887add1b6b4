#include "s100/deif_translate.h"

#include <cstdlib>
#include <cstring>

#include "s100/cterrors.h"

QV_Status TranslateSymbols(uint32_t* symbol, char** text, int32_t direction, void* context) {
  const auto* lookups = static_cast<const SymbolLookups*>(context);
  if (lookups == nullptr || symbol == nullptr || text == nullptr) {
    return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  }
  if (direction != 0) {
    std::string name;
    if (!lookups->toName || !lookups->toName(*symbol, &name)) {
      return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrUnknownSymbol, 0);
    }
    char* copy = static_cast<char*>(std::malloc(name.size() + 1));
    if (copy == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrNoMemory, 0);
    std::memcpy(copy, name.c_str(), name.size() + 1);
    *text = copy;
    return QV_OK;
  }
  if (*text == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
  if (!lookups->toSymbol || !lookups->toSymbol(*text, symbol)) {
    return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTextUnknownName, 0);
  }
  return QV_OK;
}
