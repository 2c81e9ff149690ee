// A process-wide count of live objects of one kind, safe to change from any thread.
#pragma once

#include <atomic>
#include <cstddef>

namespace kernel32 {

class LiveCount {
 public:
  void Increment() { count_.fetch_add(1, std::memory_order_relaxed); }
  void Decrement() { count_.fetch_sub(1, std::memory_order_relaxed); }
  std::size_t value() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::size_t> count_{0};
};

}  // namespace kernel32
