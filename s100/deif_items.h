// Item counts of every array in a text, found by one lexical pass, so that
// the reader can create an array's sets or arrays first and fill them in
// place: built that way nothing is copied, and reading stays linear however
// deep arrays of sets and arrays nest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace deif {

class ItemCounts {
 public:
  // Counts the items of each "[", in text order, for arrays nested at most
  // maxDepth deep (sets and arrays both count).  Strings and comments are
  // skipped as the reader skips them.  On text the reader would refuse the
  // counts may be wrong; the reader then fails on the text itself.
  void Count(const char* begin, const char* end, int maxDepth);
  bool Counted() const { return counted_; }
  // The count of the index-th array; false when it is not known (the
  // array is not closed before the end of the text).
  bool At(size_t index, uint32_t* count) const {
    if (index >= counts_.size() || counts_[index] == kUnclosed) return false;
    *count = counts_[index];
    return true;
  }

 private:
  static constexpr uint32_t kUnclosed = 0xffffffffu;
  std::vector<uint32_t> counts_;
  bool counted_ = false;
};

}  // namespace deif
