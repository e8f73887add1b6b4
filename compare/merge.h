// A three-way merge of data elements: base (what both sides started from),
// mine and theirs.  Changes one side made where the other made none are
// combined; places both sides changed, and differently, are conflicts for
// the user to decide.  Built on the difference engine: both sides' edits
// are found against the base, sets by key and arrays by a Myers walk.
#pragma once

#include <cstddef>
#include <vector>

#include "compare/diff.h"

namespace compare {

// A place both sides changed, and differently.  The path is in the merged
// tree's terms (keys as mine numbers them; array steps carry mine's position
// as oldIndex and the merged position as newIndex); for a place mine
// removed, it names where it was.
struct Conflict {
  std::vector<PathStep> path;
  QV_DataElement base;    // no value (type 10) where the base had none
  QV_DataElement mine;    // no value where mine removed it
  QV_DataElement theirs;  // no value where theirs removed it
};

struct MergeResult {
  QV_DataElement merged;            // mine, with every change of theirs that does not overlap mine
  std::vector<Conflict> conflicts;  // in tree order; merged keeps mine's value at each
  size_t mineChanges = 0;           // differences base -> mine
  size_t theirChanges = 0;          // differences base -> theirs
};

// Sets merge key by key, recursively: different keys never conflict.  A key
// both sides changed to different values, or one removed and the other
// changed below, is a conflict; the same change on both sides is not.
// Arrays merge like lines in diff3: each side's insertions, deletions and
// changes are mapped onto base positions; edits in separate regions all
// apply, overlapping regions that differ are a conflict (an item's when both
// touched one and the same item, or both inserted one item at the same
// place, else the whole array's).  Items both sides kept merge recursively.
// Comparison by number.  False (with *out unchanged) when an element cannot
// be read.
bool Merge(const QV_DataElement& base, const QV_DataElement& mine, const QV_DataElement& theirs,
           MergeResult* out);

}  // namespace compare
