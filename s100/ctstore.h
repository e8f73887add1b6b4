// The handle table of the container library and the guard every call runs
// under.  Internal to s100_containers.
//
// A handle is (generation << kIndexBits) | index.  Slot 0 is never used, so
// handle 0 is never valid; a slot's generation moves on each time it is
// freed, and freed slots are reused only once many others are free, so a
// stale handle is refused for a long time after its container is gone.
//
// One mutex guards the table and every container: each public call takes it
// once for its whole run, so a call never sees a half-made change.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "s100/ctcontainers.h"
#include "s100/cterrors.h"

namespace ct::store {

// Containers nested inside each other, counting the outermost one.  Deep
// copies and destruction recurse, so the nesting is bounded.
inline constexpr uint32_t kMaxDepth = 128;
// Items one array may hold.
inline constexpr uint32_t kMaxItems = uint32_t{1} << 26;

enum class Kind : uint8_t { kFree, kKvs, kAry };

// What a call means to do with a handle.
enum class Access : uint8_t { kRead, kWrite, kDestroy };

// The part every set and array shares.
struct Container {
  uint32_t handle = 0;  // registered handle; 0 while none was handed out
  uint32_t depth = 1;   // 1 for a container that nothing holds
};

// Raised inside the library only; every public call turns it into its
// error word.
struct Failure {
  uint32_t code;
};

class Table {
 public:
  static constexpr unsigned kIndexBits = 22;
  static constexpr uint32_t kIndexMask = (uint32_t{1} << kIndexBits) - 1;
  static constexpr uint32_t kGenerationMask = (uint32_t{1} << (32 - kIndexBits)) - 1;
  static constexpr uint32_t kMaxSlots = kIndexMask + 1;
  // Freed slots wait until this many are free before one is reused.
  static constexpr size_t kReuseAfter = 1024;

  Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // 0 and the container, or an error code.
  uint32_t Lookup(uint32_t handle, Kind kind, Access access, Container** out) const {
    const uint32_t index = handle & kIndexMask;
    if (index >= slots_.size()) return kErrBadHandle;
    const Slot& slot = slots_[index];
    if (slot.kind != kind || slot.generation != (handle >> kIndexBits)) return kErrBadHandle;
    if (access != Access::kRead && slot.frozen) return kErrBadHandle;
    if (access == Access::kDestroy && !slot.root) return kErrBadHandle;
    *out = slot.object;
    return 0;
  }

  // Registers a container that its caller owns (a root).  Throws Failure.
  uint32_t AddRoot(Container* object, Kind kind);
  // Registers a nested container (once) and returns its handle.  Throws.
  uint32_t Lend(Container* object, Kind kind);
  // Frees the slot of a registered handle; a container's destructor calls it.
  void Release(uint32_t handle);

  size_t LiveCount() const { return live_; }

 private:
  struct Slot {
    Container* object = nullptr;
    uint32_t generation = 0;
    Kind kind = Kind::kFree;
    bool root = false;
    bool frozen = false;
  };
  uint32_t Allocate(Container* object, Kind kind, bool root);

  std::vector<Slot> slots_;
  std::deque<uint32_t> free_;
  size_t live_ = 0;
};

// The one mutex and table of the process.  The table lives until exit and is
// never destroyed, so containers destroyed by static destructors still work.
std::mutex& Mutex();
Table& TableLocked();  // call with Mutex() held
// Handles in use, the permanent empty set included (takes the lock).
size_t LiveHandles();

inline void SetError(uint32_t* err, uint32_t code) {
  if (err) *err = code;
}

// Runs one public call: takes the lock, runs the body (which returns 0 for
// success or an error code), maps failures to error codes and fills the
// error word.  Returns 1 for success, 0 otherwise.
template <class Body>
int Guarded(uint32_t* err, Body&& body) {
  uint32_t code;
  {
    std::lock_guard<std::mutex> lock(Mutex());
    try {
      code = body(TableLocked());
    } catch (const Failure& failure) {
      code = failure.code;
    } catch (const std::bad_alloc&) {
      code = kErrContainerNoMemory;
    } catch (const std::length_error&) {
      code = kErrContainerNoMemory;
    }
  }
  SetError(err, code == 0 ? kErrNone : code);
  return code == 0 ? 1 : 0;
}

// The container of type T behind a handle of the given kind.
template <class T>
uint32_t Find(Table& table, uint32_t handle, Kind kind, Access access, T** out) {
  Container* object = nullptr;
  const uint32_t code = table.Lookup(handle, kind, access, &object);
  if (code == 0) *out = static_cast<T*>(object);
  return code;
}

// Makes a new empty container of type T that the caller owns by its handle.
template <class T>
int CreateRoot(Kind kind, uint32_t* handle, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    if (!handle) return kErrBadArgument;
    auto fresh = std::make_unique<T>();
    *handle = table.AddRoot(fresh.get(), kind);
    fresh.release();
    return 0;
  });
}

// Destroys a container made by CreateRoot, and with it every handle lent
// from inside it.
template <class T>
int DestroyRoot(Kind kind, uint32_t handle, uint32_t* err) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    T* object = nullptr;
    if (uint32_t code = Find(table, handle, kind, Access::kDestroy, &object)) return code;
    delete object;
    return 0;
  });
}

// Reads one property of the container of type T behind a handle into *out.
template <class T, class Out, class Read>
int ReadProperty(Kind kind, uint32_t handle, Out* out, uint32_t* err, Read read) {
  return Guarded(err, [&](Table& table) -> uint32_t {
    T* object = nullptr;
    if (uint32_t code = Find(table, handle, kind, Access::kRead, &object)) return code;
    if (!out) return kErrBadArgument;
    *out = read(*object);
    return 0;
  });
}

}  // namespace ct::store
