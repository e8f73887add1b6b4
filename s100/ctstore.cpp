#include "s100/ctstore.h"

#include "s100/ctobjects.h"

// The permanent empty set sits in slot 1 with generation 0.
const CTkvs CT_kvsEmpty = 1;

namespace ct::store {

namespace {
std::mutex g_mutex;        // constant-initialised: usable from any static constructor
Table* g_table = nullptr;  // made on first use, never destroyed
}  // namespace

std::mutex& Mutex() { return g_mutex; }

Table& TableLocked() {
  if (!g_table) g_table = new Table;
  return *g_table;
}

size_t LiveHandles() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return TableLocked().LiveCount();
}

Table::Table() {
  slots_.resize(2);  // slot 0 stays unused so that handle 0 is never valid
  auto* empty = new Kvs;
  empty->handle = CT_kvsEmpty;
  Slot& slot = slots_[CT_kvsEmpty];
  slot.object = empty;
  slot.kind = Kind::kKvs;
  slot.frozen = true;
  live_ = 1;
}

uint32_t Table::Allocate(Container* object, Kind kind, bool root) {
  uint32_t index;
  if (free_.size() >= kReuseAfter || (slots_.size() >= kMaxSlots && !free_.empty())) {
    index = free_.front();
    free_.pop_front();
  } else if (slots_.size() < kMaxSlots) {
    slots_.emplace_back();
    index = static_cast<uint32_t>(slots_.size() - 1);
  } else {
    throw Failure{kErrContainerNoMemory};
  }
  Slot& slot = slots_[index];
  slot.object = object;
  slot.kind = kind;
  slot.root = root;
  slot.frozen = false;
  ++live_;
  const uint32_t handle = (slot.generation << kIndexBits) | index;
  object->handle = handle;
  return handle;
}

uint32_t Table::AddRoot(Container* object, Kind kind) { return Allocate(object, kind, true); }

uint32_t Table::Lend(Container* object, Kind kind) {
  if (object->handle != 0) return object->handle;
  return Allocate(object, kind, false);
}

void Table::Release(uint32_t handle) {
  const uint32_t index = handle & kIndexMask;
  if (index >= slots_.size() || index == CT_kvsEmpty) return;
  Slot& slot = slots_[index];
  if (slot.kind == Kind::kFree || slot.generation != (handle >> kIndexBits)) return;
  slot.object = nullptr;
  slot.kind = Kind::kFree;
  slot.root = false;
  slot.generation = (slot.generation + 1) & kGenerationMask;
  --live_;
  try {
    free_.push_back(index);
  } catch (...) {
    // Out of memory while freeing: the slot is simply never reused.
  }
}

}  // namespace ct::store
