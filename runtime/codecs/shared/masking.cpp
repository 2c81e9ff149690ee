#include "codecs/shared/masking.h"

#include <algorithm>
#include <cmath>

namespace wmvcore {
namespace {

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

void BandEnergies(const float* coefficients, std::span<const int> widths,
                  std::vector<float>& energies) {
  energies.assign(widths.size(), 0.0f);
  int position = 0;
  for (std::size_t b = 0; b < widths.size(); ++b) {
    const int width = widths[b];
    double sum = 0;
    for (int i = position; i < position + width; ++i)
      sum += double{coefficients[i]} * coefficients[i];
    energies[b] = static_cast<float>(sum / width);
    position += width;
  }
}

void MaskingThresholds(const std::vector<float>& energies, std::span<const int> widths, int length,
                       int rate, std::vector<float>& thresholds) {
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
    const double hertz = (position + widths[b] / 2.0) * rate / (2.0 * length);
    position += widths[b];
    const double quiet =
        kEnergyAt96DbDown * std::pow(10.0, (ThresholdInQuiet(hertz) - kFullScaleDbSpl + 96) / 10);
    // No band needs a threshold above its own energy, which codes it as silence.
    thresholds[b] = std::min(std::max(spread[b] * offset, static_cast<float>(quiet)),
                             std::max(energies[b], 1.0f));
  }
}

}  // namespace wmvcore
