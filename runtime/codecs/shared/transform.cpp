#include "codecs/shared/transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wmvcore {

Transform::Transform(int length, float scale)
    : length_(length), windowed_(2 * length), output_(length) {
  if (av_tx_init(&context_, &transform_, AV_TX_FLOAT_MDCT, 0, length, &scale, 0) < 0)
    context_ = nullptr;
}

Transform::~Transform() { av_tx_uninit(&context_); }

void Transform::Forward(const float* input, const float* window, float* coefficients) {
  float* windowed = windowed_.data();
  for (int i = 0; i < 2 * length_; ++i) windowed[i] = input[i] * window[i];
  transform_(context_, output_.data(), windowed, sizeof(float));
  std::copy_n(output_.data(), length_, coefficients);
}

void BlockWindow(int length, int previous, int next, std::vector<float>& window) {
  window.assign(2 * static_cast<std::size_t>(length), 0.0f);
  const auto slope = [](int size, int i) {
    return static_cast<float>(std::sin((i + 0.5) * std::numbers::pi / (2.0 * size)));
  };
  const int left = std::min(length, previous);
  const int leftStart = (length - left) / 2;
  for (int i = 0; i < length; ++i)
    window[i] = i < leftStart ? 0.0f : i < leftStart + left ? slope(left, i - leftStart) : 1.0f;
  const int right = std::min(length, next);
  const int rightStart = (length - right) / 2;
  for (int i = 0; i < length; ++i) {
    float& w = window[2 * static_cast<std::size_t>(length) - 1 - i];
    w = i < rightStart ? 0.0f : i < rightStart + right ? slope(right, i - rightStart) : 1.0f;
  }
}

}  // namespace wmvcore
