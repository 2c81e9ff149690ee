// One of the decoder's cascaded sign-sign LMS filters, run forwards: it predicts each sample from
// the ones before, gives the residual, and adapts exactly as the decoder adapts after
// reconstructing that sample, so both keep the same state. `History` is what the decoder keeps
// its past samples in: 16 bits for 16-bit streams, 32 for wider ones.
#pragma once

#include <array>
#include <cstdint>

namespace wmvcore::lossless {

inline constexpr int kMaxLmsOrder = 256;

template <typename History>
class LmsFilter {
 public:
  // Orders are multiples of this, so that the decoder's wide steps never pass the end.
  static constexpr int kOrderStep = sizeof(History) == 2 ? 16 : 8;

  // Everything to zero, as at the start of a seekable tile.
  void Clear();
  // The order and scaling a seekable tile gives; the history starts over.
  void Restart(int order, int scaling);
  int order() const { return order_; }
  int scaling() const { return scaling_; }

  // The residual of `value`, given `bits` of sample width and the update `speed` (8 or 16).
  int32_t Residual(int32_t value, int bits, int speed);
  // Replaces each of `count` values by its residual.
  void Run(int32_t* values, int count, int bits, int speed) {
    for (int i = 0; i < count; ++i) values[i] = Residual(values[i], bits, speed);
  }
  // Doubles (true) or halves the pending updates, as the decoder does when the update speed
  // changes between tiles.
  void ScaleUpdates(bool up);

 private:
  void Remember(int32_t value, int bits, int speed);

  int order_ = 0;
  int scaling_ = 0;
  int recent_ = 0;  // where the newest past sample is; the window is [recent_, recent_ + order_)
  alignas(32) std::array<int16_t, kMaxLmsOrder> coefs_{};
  alignas(32) std::array<History, 2 * kMaxLmsOrder> history_{};
  alignas(32) std::array<int16_t, 2 * kMaxLmsOrder> updates_{};
};

extern template class LmsFilter<int16_t>;
extern template class LmsFilter<int32_t>;

}  // namespace wmvcore::lossless
