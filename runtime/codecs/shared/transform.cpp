#include "codecs/shared/transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wmvcore::wmav2 {
namespace {

// The forward transform's scale that makes the decoder's inverse give back the input: its
// inverse is scaled by 1/32768 and its coefficients by 2 / length.
constexpr float kDecoderScale = -32768.0f;

// Masking: a band masks noise this far below its own energy, spreading to the bands above
// and below it at these slopes a band.
constexpr float kMaskOffsetDb = 14.0f;
constexpr float kSpreadUpDb = 12.0f;
constexpr float kSpreadDownDb = 25.0f;
// A coefficient's energy for noise at full scale less 96 dB, and the sound level that full
// scale is taken to play at.
constexpr double kEnergyAt96DbDown = 576.0;
constexpr double kFullScaleDbSpl = 92.0;

// The threshold in quiet (dB SPL) at `hertz`, after Terhardt.
double ThresholdInQuiet(double hertz) {
  const double k = std::max(hertz, 20.0) / 1000.0;
  return 3.64 * std::pow(k, -0.8) - 6.5 * std::exp(-0.6 * (k - 3.3) * (k - 3.3)) +
         1e-3 * std::pow(k, 4.0);
}

}  // namespace

Transform::Transform(int length) : length_(length), windowed_(2 * length), output_(length) {
  float scale = kDecoderScale;
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

bool HasAttack(const float* samples, int count) {
  constexpr int kParts = 8;
  constexpr double kRise = 10.0;     // an attack's part is ten times louder...
  constexpr double kAudible = 1e-6;  // ...and no quieter than -60 dB of full scale
  const int part = count / kParts;
  double before = 0;
  for (int p = 0; p < kParts; ++p) {
    double energy = 0;
    for (int i = p * part + 1; i < (p + 1) * part; ++i) {
      const double difference = double{samples[i]} - samples[i - 1];
      energy += difference * difference;
    }
    energy /= part;
    if (p > 0 && energy > kAudible && energy > kRise * before) return true;
    before = std::max(energy, 0.5 * before);
  }
  return false;
}

void BandEnergies(const float* coefficients, const BlockLayout& block,
                  std::vector<float>& energies) {
  energies.assign(block.exponentBands.size(), 0.0f);
  int position = 0;
  for (std::size_t b = 0; b < block.exponentBands.size(); ++b) {
    const int width = block.exponentBands[b];
    double sum = 0;
    for (int i = position; i < position + width; ++i)
      sum += double{coefficients[i]} * coefficients[i];
    energies[b] = static_cast<float>(sum / width);
    position += width;
  }
}

void MaskingThresholds(const std::vector<float>& energies, const BlockLayout& block, int rate,
                       std::vector<float>& thresholds) {
  const std::size_t bands = energies.size();
  thresholds.assign(bands, 0.0f);
  const float up = std::pow(10.0f, -kSpreadUpDb / 10);
  const float down = std::pow(10.0f, -kSpreadDownDb / 10);
  // Spread upwards, then downwards, each pass carrying the strongest so far.
  std::vector<float> spread(energies);
  for (std::size_t b = 1; b < bands; ++b) spread[b] = std::max(spread[b], spread[b - 1] * up);
  for (std::size_t b = bands - 1; b-- > 0;) spread[b] = std::max(spread[b], spread[b + 1] * down);
  const float offset = std::pow(10.0f, -kMaskOffsetDb / 10);
  int position = 0;
  for (std::size_t b = 0; b < bands; ++b) {
    const double hertz = (position + block.exponentBands[b] / 2.0) * rate / (2.0 * block.length);
    position += block.exponentBands[b];
    const double quiet =
        kEnergyAt96DbDown * std::pow(10.0, (ThresholdInQuiet(hertz) - kFullScaleDbSpl + 96) / 10);
    // No band needs a threshold above its own energy, which codes it as silence.
    thresholds[b] = std::min(std::max(spread[b] * offset, static_cast<float>(quiet)),
                             std::max(energies[b], 1.0f));
  }
}

}  // namespace wmvcore::wmav2
