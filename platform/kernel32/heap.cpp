// The process heap: HeapAlloc over the C allocator, with a header that lets HeapFree catch a
// pointer it never handed out, and a per-thread plan that makes a chosen allocation fail.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel32/allocation_plan.h"
#include "kernel32/live_count.h"

namespace {

constexpr std::uint64_t kLiveMagic = 0x4845415042'4c4b21ull;  // "HEAPBLK!"
constexpr std::uint64_t kFreedMagic = 0x46524545'44424c4bull;

struct alignas(16) BlockHeader {
  std::size_t size;
  std::uint64_t magic;
};

int processHeapTag;

thread_local kernel32::AllocationPlan heapPlan;
kernel32::LiveCount liveHeapBlocks;

BlockHeader* HeaderOf(LPCVOID memory) {
  return reinterpret_cast<BlockHeader*>(const_cast<BYTE*>(static_cast<const BYTE*>(memory)) -
                                        sizeof(BlockHeader));
}

BlockHeader* CheckedHeaderOf(LPCVOID memory, const char* caller) {
  BlockHeader* header = HeaderOf(memory);
  if (header->magic != kLiveMagic) {
    // A foreign or already freed pointer corrupts the heap on Windows; make it loud here.
    std::fprintf(stderr, "%s: %p is not a live heap block\n", caller, memory);
    std::abort();
  }
  return header;
}

}  // namespace

namespace platform_testing {

void FailHeapAllocation(unsigned nth) { heapPlan.FailNth(nth); }
unsigned HeapAllocationCalls() { return heapPlan.calls(); }
std::size_t LiveHeapBlocks() { return liveHeapBlocks.value(); }

}  // namespace platform_testing

extern "C" {

HANDLE WINAPI GetProcessHeap() { return &processHeapTag; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != &processHeapTag) return nullptr;
  if (heapPlan.NextFails()) return nullptr;
  if (bytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  const std::size_t total = sizeof(BlockHeader) + bytes;
  void* raw = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, total) : std::malloc(total);
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = bytes;
  header->magic = kLiveMagic;
  liveHeapBlocks.Increment();
  return header + 1;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD /*flags*/, LPVOID memory) {
  if (heap != &processHeapTag) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (memory == nullptr) return TRUE;
  BlockHeader* header = CheckedHeaderOf(memory, "HeapFree");
  header->magic = kFreedMagic;
  std::free(header);
  liveHeapBlocks.Decrement();
  return TRUE;
}

SIZE_T WINAPI HeapSize(HANDLE heap, DWORD /*flags*/, LPCVOID memory) {
  if (heap != &processHeapTag || memory == nullptr) return static_cast<SIZE_T>(-1);
  return CheckedHeaderOf(memory, "HeapSize")->size;
}

}  // extern "C"
