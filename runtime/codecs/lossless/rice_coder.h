// The decoder's adaptive Rice code for residuals: each residual, folded to an unsigned number,
// is split by a parameter that follows a moving average of the numbers before it; the quotient
// goes in unary (with an escape past 32), the remainder in the parameter's bits.
#pragma once

#include <cstdint>

#include "codecs/shared/bit_writer.h"

namespace wmvcore::lossless {

inline uint32_t Fold(int32_t residual) {
  return (static_cast<uint32_t>(residual) << 1) ^ static_cast<uint32_t>(residual >> 31);
}

class RiceCoder {
 public:
  // `scaling` (0 to 7) sets how fast the average follows; `average` is what a seekable tile
  // sends for its start, in the stream's sample width.
  void Start(int scaling, uint32_t average) {
    scaling_ = scaling;
    sum_ = average << (scaling + 1);
  }
  // A channel whose seekable tile was not coded starts from nothing.
  void Reset(int scaling) {
    scaling_ = scaling;
    sum_ = 0;
  }
  void Put(int32_t residual, BitWriter& out) { Code(Fold(residual), &out); }
  // The bits Put would write.
  uint32_t Cost(int32_t residual) { return Code(Fold(residual), nullptr); }

 private:
  uint32_t Code(uint32_t folded, BitWriter* out);

  int scaling_ = 0;
  uint32_t sum_ = 0;
};

// The average a seekable tile sends for `residuals` (what the moving average of a long run of
// them settles near), clamped to `bits`.
uint32_t StartingAverage(const int32_t* residuals, int count, int bits);

}  // namespace wmvcore::lossless
