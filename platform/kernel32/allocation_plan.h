// A per-thread plan of which allocation call fails, shared by the heap and global memory.
#pragma once

#include <windows.h>

namespace kernel32 {

class AllocationPlan {
 public:
  // Makes the nth call from now on fail (1 = the next); 0 cancels the plan.
  void FailNth(unsigned nth) { failAt_ = nth == 0 ? 0 : calls_ + nth; }

  // Counts a call and tells whether it is the one planned to fail.
  bool NextFails() {
    ++calls_;
    if (failAt_ == 0 || calls_ != failAt_) return false;
    failAt_ = 0;
    return true;
  }

  unsigned calls() const { return calls_; }

 private:
  unsigned calls_ = 0;
  unsigned failAt_ = 0;
};

}  // namespace kernel32
