// Allocation hooks for tests: every block and bitmap is tracked (so a test can see what a
// record holds and that nothing leaks), bitmaps above a byte budget fail (a picture "larger
// than memory"), and every bitmap request is logged with its size.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>
#include "player/media/alloc_hooks.h"
#include "player/media/frame_record.h"

namespace crv::testing_support {

struct DibRequest {
  int32_t width;
  int32_t height;
  uint32_t bits;
  bool operator==(const DibRequest& o) const { return width == o.width && height == o.height && bits == o.bits; }
};

struct HookLog {
  std::map<void*, size_t> blocks;  // live heap blocks and their sizes
  std::set<void*> bitmaps;         // live bitmaps
  std::vector<DibRequest> requests;
  uint64_t bitmapBudget = UINT64_MAX;  // bitmaps of more pixel bytes fail
  size_t blockLimit = SIZE_MAX;        // blocks of more bytes fail
  int allocationsLeft = -1;            // when >= 0: how many more blocks may be had
  int allocations = 0;
};

inline HookLog& Log() {
  static HookLog log;
  return log;
}

inline void* TrackedAlloc(size_t bytes) {
  if (bytes > Log().blockLimit || Log().allocationsLeft == 0) return nullptr;
  if (Log().allocationsLeft > 0) --Log().allocationsLeft;
  void* p = std::malloc(bytes);
  Log().blocks[p] = bytes;
  ++Log().allocations;
  return p;
}

inline void TrackedFree(void* p) {
  if (Log().blocks.erase(p) != 1) std::abort();  // freed twice, or never ours
  std::free(p);
}

inline void* TrackedCreateDib(void*, const void* info, uint32_t, void** bits, void*, uint32_t) {
  const auto& header = *static_cast<const RBitmapInfoHeader*>(info);
  Log().requests.push_back({header.width, header.height, header.bitCount});
  const uint64_t bytes = DibImageBytes(header);
  if (bytes > Log().bitmapBudget) return nullptr;
  void* p = std::calloc(1, static_cast<size_t>(bytes));
  Log().bitmaps.insert(p);
  *bits = p;
  return p;
}

inline int32_t TrackedDeleteObject(void* object) {
  if (Log().bitmaps.erase(object) != 1) std::abort();
  std::free(object);
  return 1;
}

// Installs the tracked hooks for its lifetime; the fallbacks come back afterwards.
class TrackedHooks {
 public:
  TrackedHooks() {
    Log() = HookLog();
    AllocHooks hooks;
    hooks.alloc = TrackedAlloc;
    hooks.free = TrackedFree;
    hooks.createDib = TrackedCreateDib;
    hooks.deleteObject = TrackedDeleteObject;
    InstallAllocHooks(hooks);
  }
  ~TrackedHooks() { InstallAllocHooks(AllocHooks()); }
  TrackedHooks(const TrackedHooks&) = delete;
  TrackedHooks& operator=(const TrackedHooks&) = delete;

  static size_t LiveBlocks() { return Log().blocks.size(); }
  static size_t LiveBitmaps() { return Log().bitmaps.size(); }
  static size_t BlockBytes(const void* p) {
    auto it = Log().blocks.find(const_cast<void*>(p));
    return it == Log().blocks.end() ? 0 : it->second;
  }
};

}  // namespace crv::testing_support
