// Item counts of arrays, found by a lexical pass ahead of the reader, so
// that the reader can create an array's sets or arrays first and fill them
// in place: built that way nothing is copied, and reading stays linear
// however deep arrays of sets and arrays nest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace deif {

class ItemCounts {
 public:
  enum class Known { kNotCounted, kCount, kUnclosed };

  // Counts the array whose "[" ends at `afterOpen`, and every array inside
  // it, numbering them in text order from `firstIndex`; arrays more than
  // maxDepth deep (that array being 1) are not numbered.  Strings and
  // comments are skipped as the reader skips them.  Replaces what an
  // earlier call counted.  On text the reader would refuse, the counts may
  // be wrong; the reader then fails on the text itself.
  void CountArray(const char* afterOpen, const char* end, size_t firstIndex, int maxDepth);

  Known At(size_t index, uint32_t* count) const {
    if (index < base_ || index - base_ >= counts_.size()) return Known::kNotCounted;
    uint32_t c = counts_[index - base_];
    if (c == kUnclosed) return Known::kUnclosed;
    *count = c;
    return Known::kCount;
  }

 private:
  static constexpr uint32_t kUnclosed = 0xffffffffu;
  size_t base_ = 0;
  std::vector<uint32_t> counts_;
};

}  // namespace deif
