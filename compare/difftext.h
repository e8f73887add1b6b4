// Differences as lines of text, the stable format of `ctadm diff`:
//   + PATH = VALUE        in the new side only
//   - PATH = VALUE        in the old side only
//   ~ PATH: OLD -> NEW    changed (also a change of type)
// Values are data-element text on one line; symbols are named by the side
// they come from.
#pragma once

#include <string>

#include "compare/diff.h"

namespace compare {

// The element as data-element text on one line; symbols by the namer's
// names, #number without.  Empty on failure.
std::string ValueText(const QV_DataElement& value, const SymbolNamer& names);

std::string DifferenceLine(const Difference& diff, const SymbolNamer& oldNames, const SymbolNamer& newNames);

}  // namespace compare
