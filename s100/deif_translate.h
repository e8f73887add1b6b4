// One symbol translator for the data-element text, over a pair of look-ups
// (symbol to name, name to symbol), so that every user of DEtoA and
// AtoAnyDE answers alike: kErrTranslator when it is called without what it
// needs, kErrUnknownSymbol for a symbol without a name, kErrTextUnknownName
// for a name without a symbol, kErrNoMemory when the name cannot be copied.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "s100/deif.h"

struct SymbolLookups {
  // True with *name set when the symbol has a name.
  std::function<bool(uint32_t symbol, std::string* name)> toName;
  // True with *symbol set when the name (never null) has a symbol.
  std::function<bool(const char* name, uint32_t* symbol)> toSymbol;
};

// The translator to pass to DEtoA and AtoAnyDE with a SymbolLookups* as
// their context.  A missing look-up translates nothing in its direction.
QV_Status TranslateSymbols(uint32_t* symbol, char** text, int32_t direction, void* context);
