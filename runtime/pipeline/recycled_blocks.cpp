#include "pipeline/recycled_blocks.h"

#include <new>
#include <utility>

namespace wmvcore {

std::unique_ptr<BYTE[]> RecycledBlocks::Take(std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (size != size_) {
    kept_.clear();
    size_ = size;
    out_ = 0;
  }
  if (!kept_.empty()) {
    std::unique_ptr<BYTE[]> block = std::move(kept_.back());
    kept_.pop_back();
    ++out_;
    return block;
  }
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size > 0 ? size : 1]);
  if (!block) return nullptr;
  try {
    kept_.reserve(out_ + 1);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  ++out_;
  return block;
}

void RecycledBlocks::Give(std::unique_ptr<BYTE[]> block, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (size != size_ || out_ == 0) return;  // of a former size: freed
  --out_;
  kept_.push_back(std::move(block));
}

}  // namespace wmvcore
