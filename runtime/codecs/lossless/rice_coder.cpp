#include "codecs/lossless/rice_coder.h"

#include <algorithm>
#include <bit>

namespace wmvcore::lossless {

namespace {

constexpr uint32_t kEscape = 32;  // a quotient this large is sent as 32 ones and its excess

int CeilLog2(uint32_t value) {
  return value <= 1 ? 0 : static_cast<int>(std::bit_width(value - 1));
}

}  // namespace

uint32_t RiceCoder::Code(uint32_t folded, BitWriter* out) {
  const uint32_t mean = (sum_ + (1u << scaling_)) >> (scaling_ + 1);
  const int parameter = mean <= 1 ? 0 : CeilLog2(mean);
  const uint32_t quotient = folded >> parameter;
  uint32_t cost = 0;
  if (quotient < kEscape) {
    cost = quotient + 1;
    if (out) out->PutUnary(quotient);
  } else {
    const uint32_t excess = quotient - kEscape;
    const int excessBits = std::max(1, static_cast<int>(std::bit_width(excess)));
    cost = kEscape + 1 + 5 + static_cast<uint32_t>(excessBits);
    if (out) {
      out->PutUnary(kEscape);
      out->Put(static_cast<uint32_t>(excessBits - 1), 5);
      out->Put(excess, excessBits);
    }
  }
  if (parameter > 0) {
    cost += static_cast<uint32_t>(parameter);
    if (out) out->Put(folded, parameter);
  }
  sum_ = folded + sum_ - (sum_ >> scaling_);
  return cost;
}

uint32_t StartingAverage(const int32_t* residuals, int count, int bits) {
  uint64_t total = 0;
  const int n = std::min(count, 32);
  for (int i = 0; i < n; ++i) total += Fold(residuals[i]);
  const uint64_t average = n > 0 ? total / static_cast<uint64_t>(2 * n) : 0;
  return static_cast<uint32_t>(std::min<uint64_t>(average, (1ull << bits) - 1));
}

}  // namespace wmvcore::lossless
