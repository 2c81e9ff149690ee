#include "codecs/lossless/lms_filter.h"

#include <algorithm>
#include <cstring>

namespace wmvcore::lossless {

namespace {

int Sign(int32_t value) { return (value > 0) - (value < 0); }

// The prediction's products and sum wrap at 32 bits, as the decoder's do. Blocks of a fixed
// size let the compiler use vector instructions at the project's optimisation level.
template <typename History>
uint32_t Dot(const int16_t* coefs, const History* history, int order) {
  uint32_t sum = 0;
  for (int block = 0; block < order; block += 8) {
    uint32_t part = 0;
    for (int i = 0; i < 8; ++i) {
      if constexpr (sizeof(History) == 2)  // 16 by 16 bits: the product fits
        part += static_cast<uint32_t>(coefs[block + i] * history[block + i]);
      else
        part += static_cast<uint32_t>(coefs[block + i]) * static_cast<uint32_t>(history[block + i]);
    }
    sum += part;
  }
  return sum;
}

void Adapt(int16_t* coefs, const int16_t* updates, int order, int sign) {
  for (int block = 0; block < order; block += 8)
    for (int i = 0; i < 8; ++i)
      coefs[block + i] = static_cast<int16_t>(coefs[block + i] + sign * updates[block + i]);
}

}  // namespace

template <typename History>
void LmsFilter<History>::Clear() {
  coefs_.fill(0);
  history_.fill(0);
  updates_.fill(0);
}

template <typename History>
void LmsFilter<History>::Restart(int order, int scaling) {
  order_ = order;
  scaling_ = scaling;
  recent_ = order;
}

template <typename History>
int32_t LmsFilter<History>::Residual(int32_t value, int bits, int speed) {
  uint32_t sum = (1u << scaling_) >> 1;
  sum += Dot(coefs_.data(), history_.data() + recent_, order_);
  const int32_t prediction = static_cast<int32_t>(sum) >> scaling_;
  const auto residual =
      static_cast<int32_t>(static_cast<uint32_t>(value) - static_cast<uint32_t>(prediction));
  if (const int sign = Sign(residual))
    Adapt(coefs_.data(), updates_.data() + recent_, order_, sign);
  Remember(value, bits, speed);
  return residual;
}

template <typename History>
void LmsFilter<History>::Remember(int32_t value, int bits, int speed) {
  if (recent_ > 0) {
    --recent_;
  } else {
    std::memcpy(history_.data() + order_, history_.data(), sizeof(History) * order_);
    std::memcpy(updates_.data() + order_, updates_.data(), sizeof(int16_t) * order_);
    recent_ = order_ - 1;
  }
  const int32_t range = 1 << (bits - 1);
  history_[recent_] = static_cast<History>(std::clamp(value, -range, range - 1));
  updates_[recent_] = static_cast<int16_t>(Sign(value) * speed);
  // The decoder weakens two taps of each new update; past the window it also zeroes the rest,
  // which nothing reads again before the window wraps over it.
  auto& quarter = updates_[recent_ + (order_ >> 4)];
  quarter = static_cast<int16_t>(quarter >> 2);
  auto& half = updates_[recent_ + (order_ >> 3)];
  half = static_cast<int16_t>(half >> 1);
}

template <typename History>
void LmsFilter<History>::ScaleUpdates(bool up) {
  for (int i = 0; i < order_; ++i) {
    auto& update = updates_[recent_ + i];
    update = static_cast<int16_t>(up ? update * 2 : update / 2);
  }
}

template class LmsFilter<int16_t>;
template class LmsFilter<int32_t>;

}  // namespace wmvcore::lossless
