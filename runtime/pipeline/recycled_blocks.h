// Byte blocks of one size, taken on one thread and given back on another, kept for the next
// taker instead of freed. The reader's workers make a sample buffer for every decoded frame and
// the reader's caller releases it on its own thread: freed there, the blocks go back to the
// worker's heap in bursts of a segment, which the allocator hands back to the system and then
// faults in again for the next segment (measured: an eighth to a fifth of a two-thread
// decode's CPU time). Kept here, they stay mapped and warm.
//
// Only blocks that once were taken come back, so the store never holds more than were out at
// once, and memory stays as flat as the work that takes them. Thread-safe; shared by the
// buffers made from it, so that a buffer may outlive whatever made it.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include <windows.h>

namespace wmvcore {

class RecycledBlocks {
 public:
  // A block of `size` bytes, a kept one when there is one; null when out of memory. Taking
  // another size than before lets the kept blocks go: the format changed.
  std::unique_ptr<BYTE[]> Take(std::size_t size);
  // Keeps `block`, of `size` bytes, for a later Take; a block of a former size is freed.
  void Give(std::unique_ptr<BYTE[]> block, std::size_t size);

 private:
  std::mutex mutex_;
  std::size_t size_ = 0;
  std::size_t out_ = 0;  // blocks of size_ taken and not given back
  // Room for every block of size_ that is out, so that giving one back never allocates.
  std::vector<std::unique_ptr<BYTE[]>> kept_;
};

}  // namespace wmvcore
