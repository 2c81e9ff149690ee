#include "codecs/wmav2/rate_control.h"

#include <algorithm>
#include <cmath>

namespace wmvcore::wmav2 {
namespace {

constexpr int kMaxGain = 240;
// Rounding below one half leaves more coefficients at zero, which costs fewer bits than the
// noise it adds.
constexpr float kRounding = 0.42f;

// The share of noise each band of a long block gets above its masking threshold. Heard noise
// is judged a critical band at a time, and a critical band holds more coefficients the higher
// it lies (in proportion to sqrt(1 + (f / 650 Hz)^2), the width of a Bark there): a high
// band's noise is spread over many coefficients, so for the bits it costs, noise there is
// cheaper to hear than the same noise a coefficient low down. The weight leans the noise
// upwards by the square root of that width (a full weight starves the high bands of tonal
// sounds; none leaves pink noise and sweeps noisier than flat noise would be). Short blocks,
// which carry attacks, keep their thresholds as they are: their noise is limited in time,
// not spread in frequency.
constexpr double kBarkKneeHertz = 650.0;
constexpr double kWidthWeight = 0.5;  // the power of the critical band's width

float BandWeight(const StreamLayout& layout, const BlockLayout& shape, int position, int width) {
  if (shape.length < layout.frameLength) return 1.0f;
  const double hertz = (position + width / 2.0) * layout.rate / (2.0 * shape.length);
  const double relative = hertz / kBarkKneeHertz;
  return static_cast<float>(std::pow(1.0 + relative * relative, kWidthWeight / 2));
}

// Exponent steps (1.25 dB each) of each band: the quantiser's step follows the masking
// threshold, leaned by the band's weight (a uniform quantiser's noise is step^2 / 12), kept
// inside the code's range; gives the highest step before that shift.
int Exponents(const StreamLayout& layout, int size, const std::vector<float>& thresholds,
              std::vector<int>& exponents) {
  const BlockLayout& shape = layout.blocks[size];
  exponents.resize(thresholds.size());
  int highest = -1000;
  int position = 0;
  for (std::size_t b = 0; b < thresholds.size(); ++b) {
    const int width = shape.exponentBands[b];
    const float weight = BandWeight(layout, shape, position, width);
    position += width;
    const float step = std::sqrt(12.0f * thresholds[b] * weight);
    exponents[b] = static_cast<int>(std::lround(16.0 * std::log10(std::max(step, 1e-3f))));
    highest = std::max(highest, exponents[b]);
  }
  // Only differences matter to the decoder: the highest goes to 60, the rest follow within
  // the range a difference of at most 60 a band can reach from the start at 36.
  int last = 36;
  for (int& exponent : exponents) {
    exponent =
        std::clamp(exponent - highest + 60, std::max(-60, last - 60), std::min(95, last + 60));
    last = exponent;
  }
  return highest;
}

void Quantise(const StreamLayout& layout, int size, const ChannelSpectrum& spectrum,
              const std::vector<int>& exponents, int gain, std::vector<int>& levels) {
  const BlockLayout& shape = layout.blocks[size];
  int highest = exponents.empty() ? 0 : exponents[0];
  for (const int e : exponents) highest = std::max(highest, e);
  const float scale = std::pow(10.0f, gain / 20.0f) / std::pow(10.0f, highest / 16.0f);
  const int limit = (1 << EscapeLevelBits(gain)) - 1;
  levels.assign(shape.codedEnd, 0);
  int position = 0;
  for (std::size_t b = 0; b < exponents.size() && position < shape.codedEnd; ++b) {
    const float step = std::pow(10.0f, exponents[b] / 16.0f) * scale;
    const int end = std::min(position + shape.exponentBands[b], shape.codedEnd);
    for (int i = position; i < end; ++i) {
      const float value = spectrum.coefficients[i] / step;
      const int magnitude = std::min(static_cast<int>(std::fabs(value) + kRounding), limit);
      levels[i] = value < 0 ? -magnitude : magnitude;
    }
    position += shape.exponentBands[b];
  }
}

std::size_t Trial(const StreamLayout& layout, const std::array<ChannelSpectrum, 2>& channels,
                  int gain, CodedBlock& block) {
  block.totalGain = gain;
  for (int c = 0; c < layout.channels; ++c) {
    Quantise(layout, block.size, channels[c], block.exponents[c], gain, block.levels[c]);
    block.coded[c] = std::any_of(block.levels[c].begin(), block.levels[c].end(),
                                 [](int level) { return level != 0; });
  }
  // A mid/side block codes the side channel whenever it codes the mid one.
  if (block.midSide && (block.coded[0] || block.coded[1])) block.coded[0] = block.coded[1] = true;
  return WriteBlock(layout, block, nullptr);
}

// Codes at the lowest value from 1 to kMaxGain whose bits, which fall as the value rises, are
// within `budget` (at kMaxGain when none is); gives those bits.
template <typename BitsAt>
std::size_t LowestWithin(std::size_t budget, const BitsAt& bitsAt) {
  int low = 1;
  int high = kMaxGain;
  if (bitsAt(high) > budget) return bitsAt(high);
  while (low < high) {
    const int middle = (low + high) / 2;
    if (bitsAt(middle) <= budget)
      high = middle;
    else
      low = middle + 1;
  }
  return bitsAt(low);
}

}  // namespace

std::size_t FitFrame(const StreamLayout& layout, std::vector<BlockToFit>& blocks,
                     std::size_t budget) {
  for (BlockToFit& fit : blocks) {
    for (int c = 0; c < layout.channels; ++c)
      Exponents(layout, fit.block.size, fit.channels[c].thresholds, fit.block.exponents[c]);
    fit.block.stuffing = {};
    for (std::vector<int>& escaped : fit.block.escaped) escaped.clear();
  }
  const auto bitsAt = [&](int gain) {
    std::size_t bits = 0;
    for (BlockToFit& fit : blocks) bits += Trial(layout, fit.channels, gain, fit.block);
    return bits;
  };
  // Bits fall as the gain rises: the lowest gain within the budget.
  return LowestWithin(budget, bitsAt);
}

std::size_t FitQuality(const StreamLayout& layout, std::vector<BlockToFit>& blocks,
                       double noiseOffsetDb, std::size_t most) {
  // The gain whose steps make each band's noise its threshold, moved by the offset: a step
  // of 10^(e/16) is the gain 1.25 e for the highest exponent e, which the shift above put at 60.
  std::vector<int> gains(blocks.size());
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    BlockToFit& fit = blocks[b];
    int highest = 1000;
    for (int c = 0; c < layout.channels; ++c)
      highest = std::min(highest, Exponents(layout, fit.block.size, fit.channels[c].thresholds,
                                            fit.block.exponents[c]));
    // The channel of the lower thresholds sets the gain, so neither carries more noise.
    gains[b] = static_cast<int>(std::lround(1.25 * highest + noiseOffsetDb));
    fit.block.stuffing = {};
    for (std::vector<int>& escaped : fit.block.escaped) escaped.clear();
  }
  const auto bitsAt = [&](int raise) {
    std::size_t bits = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b)
      bits += Trial(layout, blocks[b].channels, std::clamp(gains[b] + raise, 1, kMaxGain),
                    blocks[b].block);
    return bits;
  };
  // The frame's bits fall as the gains rise: the least raise within `most`.
  const std::size_t wanted = bitsAt(0);
  return wanted <= most ? wanted : LowestWithin(most, bitsAt);
}

}  // namespace wmvcore::wmav2
