// Global memory: GlobalAlloc with fixed and movable blocks. A movable block's handle is not its
// address; GlobalLock gives the address and counts locks, as the host relies on for blocks it
// receives. Every handle is registered, so a bad or freed handle is refused, not dereferenced.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "kernel32/allocation_plan.h"
#include "kernel32/live_count.h"

namespace {

struct GlobalBlock {
  std::size_t size;
  unsigned locks;
  bool movable;
  BYTE* data;
};

class GlobalRegistry {
 public:
  void Add(HGLOBAL handle, GlobalBlock* block) {
    std::lock_guard lock(mutex_);
    blocks_[handle] = block;
  }

  GlobalBlock* Find(HGLOBAL handle) {
    std::lock_guard lock(mutex_);
    auto found = blocks_.find(handle);
    return found == blocks_.end() ? nullptr : found->second;
  }

  GlobalBlock* Remove(HGLOBAL handle) {
    std::lock_guard lock(mutex_);
    auto found = blocks_.find(handle);
    if (found == blocks_.end()) return nullptr;
    GlobalBlock* block = found->second;
    blocks_.erase(found);
    return block;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HGLOBAL, GlobalBlock*> blocks_;
};

GlobalRegistry registry;
thread_local kernel32::AllocationPlan globalPlan;
thread_local kernel32::AllocationPlan lockPlan;
kernel32::LiveCount liveGlobalBlocks;

GlobalBlock* FindOrFail(HGLOBAL handle) {
  GlobalBlock* block = handle == nullptr ? nullptr : registry.Find(handle);
  if (block == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return block;
}

}  // namespace

namespace platform_testing {

void FailGlobalAllocation(unsigned nth) { globalPlan.FailNth(nth); }
void FailGlobalLock(unsigned nth) { lockPlan.FailNth(nth); }
std::size_t LiveGlobalBlocks() { return liveGlobalBlocks.value(); }

}  // namespace platform_testing

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (globalPlan.NextFails()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* block = static_cast<GlobalBlock*>(std::malloc(sizeof(GlobalBlock)));
  // Zero bytes still get a distinct address, as Windows gives.
  BYTE* data = static_cast<BYTE*>((flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1)
                                                          : std::malloc(bytes ? bytes : 1));
  if (block == nullptr || data == nullptr) {
    std::free(block);
    std::free(data);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  *block = GlobalBlock{bytes, 0, (flags & GMEM_MOVEABLE) != 0, data};
  HGLOBAL handle = block->movable ? static_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(data);
  registry.Add(handle, block);
  liveGlobalBlocks.Increment();
  return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
  GlobalBlock* block = FindOrFail(memory);
  if (block == nullptr) return nullptr;
  // As Windows fails to lock a discarded block; the block stays as it was, unlocked.
  if (lockPlan.NextFails()) {
    SetLastError(ERROR_DISCARDED);
    return nullptr;
  }
  if (block->movable) ++block->locks;
  return block->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
  GlobalBlock* block = FindOrFail(memory);
  if (block == nullptr) return FALSE;
  if (!block->movable) return TRUE;
  if (block->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  --block->locks;
  if (block->locks == 0) SetLastError(NO_ERROR);
  return block->locks != 0;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
  GlobalBlock* block = FindOrFail(memory);
  return block == nullptr ? 0 : block->size;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
  if (memory == nullptr) return nullptr;
  GlobalBlock* block = registry.Remove(memory);
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  std::free(block->data);
  std::free(block);
  liveGlobalBlocks.Decrement();
  return nullptr;
}

}  // extern "C"
