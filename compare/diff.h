// The differences between two data elements: what must change in the old one
// to make it the new one.  Sets are matched by key, arrays by position with
// insertions and deletions found by a Myers walk, and a change of type at a
// place is one replacement.  No Qt: ctadm and the editor both use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/dataelt.h"

namespace compare {

enum class DiffKind : uint8_t { Added, Removed, Changed };

// One step of a path: a key of a set, or a position in an array.
struct PathStep {
  bool isKey = true;
  // The key as the new side numbers it, or the old side for a removal.
  CTsymbol key = 0;
  // The same key as the old side numbers it (differs only by name).
  CTsymbol oldKey = 0;
  // By name: one side has no name for the key, so it was matched by number.
  bool unnamed = false;
  // Array steps: the position in the old array and in the new one.
  uint32_t oldIndex = 0;
  uint32_t newIndex = 0;
};

struct Difference {
  DiffKind kind = DiffKind::Changed;
  std::vector<PathStep> path;
  QV_DataElement oldValue;  // no value (type 10) for an addition
  QV_DataElement newValue;  // no value (type 10) for a removal
};

// A symbol's name on one side; false when the side has none.
using SymbolNamer = std::function<bool(uint32_t symbol, std::string* name)>;

struct Options {
  // Match keys and compare symbol values by name through the two namers
  // (two servers whose symbol tables differ).  A symbol without a name on a
  // side is compared by number there.
  bool byName = false;
  SymbolNamer oldNames;
  SymbolNamer newNames;
  // An array pair that needs more insertions and deletions than this is
  // compared position by position instead: the walk costs (N+M) x edits.
  size_t maxArrayEdits = 1024;
  // Asked every few thousand nodes walked and array steps taken; true stops
  // the walk, and Diff then returns false with *out unchanged.  Called on
  // the thread that runs Diff.
  std::function<bool()> cancelled;
};

// How many nodes or array steps pass between two calls of Options::cancelled.
inline constexpr size_t kCancelCheckInterval = 4096;

// Appends the differences in tree order: within a set, the new side's keys in
// their order, then the keys only the old side has; within an array, by
// position.  False (with *out unchanged) when a container cannot be read or
// options.cancelled said so.
bool Diff(const QV_DataElement& oldValue, const QV_DataElement& newValue, const Options& options,
          std::vector<Difference>* out);

// Deep equality as Diff sees it: sets by key whatever their order, floats
// by their bits.
bool Equal(const QV_DataElement& a, const QV_DataElement& b);

// Makes *result the old element with the differences applied (those of a
// comparison by number of that old element).  False when a difference does
// not fit the element.
bool Apply(const QV_DataElement& oldValue, const std::vector<Difference>& diffs, QV_DataElement* result);

// Apply's step for one array: the differences whose paths pass through the
// array at step `depth` (the steps before it lead to the array), applied to
// a new array made in *result.  The array itself is left as it is.
bool ApplyToArray(CTary array, const std::vector<const Difference*>& diffs, size_t depth, QV_DataElement* result);

// The path as text: keys by name where the namer has one, else #number,
// joined by dots; array positions as [i].  Places are named as in the new
// tree, but for the removed node itself (its old key and position, named by
// oldNames when given).  The whole element is ".".
std::string PathText(const Difference& diff, const SymbolNamer& names, const SymbolNamer& oldNames = {});

}  // namespace compare
