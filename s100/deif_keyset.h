// The keys already read into one set, to refuse a key given twice without
// asking the container each time.  Emptied in constant time (a generation
// stamp), so one per nesting level is reused for every set at that level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace deif {

class KeySet {
 public:
  void Clear() {
    count_ = 0;
    if (++stamp_ == 0) {  // the stamp wrapped: really empty the slots
      for (Slot& s : slots_) s.stamp = 0;
      stamp_ = 1;
    }
  }
  // Adds the key; false when it was there already.
  bool Insert(uint32_t key) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    size_t mask = slots_.size() - 1;
    for (size_t i = Mix(key) & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.stamp != stamp_) {
        s = Slot{key, stamp_};
        ++count_;
        return true;
      }
      if (s.key == key) return false;
    }
  }

 private:
  struct Slot {
    uint32_t key;
    uint32_t stamp;
  };
  static size_t Mix(uint32_t k) { return static_cast<size_t>((k * 0x9e3779b97f4a7c15ULL) >> 32); }
  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 32 : old.size() * 2, Slot{0, 0});
    size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.stamp != stamp_) continue;
      size_t i = Mix(s.key) & mask;
      while (slots_[i].stamp == stamp_) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
  uint32_t stamp_ = 1;
};

}  // namespace deif
