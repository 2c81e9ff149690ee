#include "codecs/wmav2/layout.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "codecs/wmav2/tables.h"

namespace wmvcore::wmav2 {
namespace {

int FrameBits(int rate) {
  if (rate <= 16000) return 9;
  if (rate <= 22050) return 10;
  return 11;
}

// Rates are grouped for the choice of noise coding.
int RateClass(int rate) {
  for (int edge : {44100, 22050, 16000, 11025, 8000})
    if (rate >= edge) return edge;
  return rate;
}

int Log2(unsigned value) { return value == 0 ? 0 : std::bit_width(value) - 1; }

std::vector<int> ExponentBands(int rate, int frameBits, int size, int length) {
  std::vector<int> bands;
  const int index = frameBits - 7 - size;
  const uint8_t(*table)[25] = rate >= 44100   ? kExponentBands44100
                              : rate >= 32000 ? kExponentBands32000
                              : rate >= 22050 ? kExponentBands22050
                                              : nullptr;
  if (index < 3 && table != nullptr) {
    const uint8_t* row = table[index];
    bands.assign(row + 1, row + 1 + row[0]);
    return bands;
  }
  int last = 0;
  for (const uint16_t frequency : kCriticalFrequencies) {
    int position = ((length * 2 * frequency) + (rate << 1)) / (4 * rate) * 4;
    position = std::min(position, length);
    if (position > last) bands.push_back(position - last);
    if (position >= length) break;
    last = position;
  }
  return bands;
}

}  // namespace

StreamLayout StreamLayout::Make(int rate, int channels, int64_t bitRate, uint16_t flags) {
  StreamLayout layout;
  if (rate <= 0 || rate > 48000 || channels < 1 || channels > 2 || bitRate <= 0) return layout;
  layout.rate = rate;
  layout.channels = channels;
  layout.bitRate = bitRate;
  layout.flags = flags;
  layout.frameBits = FrameBits(rate);
  layout.frameLength = 1 << layout.frameBits;
  int sizes = 1;
  if (flags & kVariableBlocks) {
    int extra = ((flags >> 3) & 3) + 1;
    if (bitRate / channels >= 32000) extra += 2;
    sizes = std::min(extra, layout.frameBits - 7) + 1;
    layout.blockSizeBits = Log2(static_cast<unsigned>(sizes - 1)) + 1;
  }
  // Single precision, as the format's reference arithmetic has it.
  const float bitsPerSample = static_cast<float>(bitRate) / static_cast<float>(channels * rate);
  layout.byteOffsetBits = Log2(static_cast<unsigned>(
                              static_cast<int>(bitsPerSample * layout.frameLength / 8.0 + 0.5))) +
                          2;
  const float stereoBits = channels == 2 ? static_cast<float>(bitsPerSample * 1.6) : bitsPerSample;
  float highFrequency = static_cast<float>(rate * 0.5);
  const auto scale = [&](double by) { highFrequency = static_cast<float>(highFrequency * by); };
  layout.noiseCoding = true;
  switch (RateClass(rate)) {
    case 44100:
      if (stereoBits >= 0.61)
        layout.noiseCoding = false;
      else
        scale(0.4);
      break;
    case 22050:
      if (stereoBits >= 1.16)
        layout.noiseCoding = false;
      else
        scale(stereoBits >= 0.72 ? 0.7 : 0.6);
      break;
    case 16000:
      scale(bitsPerSample > 0.5 ? 0.5 : 0.3);
      break;
    case 11025:
      scale(0.7);
      break;
    case 8000:
      if (bitsPerSample <= 0.625)
        scale(0.5);
      else if (bitsPerSample > 0.75)
        layout.noiseCoding = false;
      else
        scale(0.65);
      break;
    default:
      scale(bitsPerSample >= 0.8 ? 0.75 : bitsPerSample >= 0.6 ? 0.6 : 0.5);
  }
  for (int size = 0; size < sizes; ++size) {
    BlockLayout block;
    block.length = layout.frameLength >> size;
    block.exponentBands = ExponentBands(rate, layout.frameBits, size, block.length);
    block.codedEnd = (layout.frameLength - layout.frameLength * 9 / 100) >> size;
    block.highBandStart = static_cast<int>(block.length * 2 * highFrequency / rate + 0.5);
    int position = 0;
    for (const int width : block.exponentBands) {
      const int start = std::max(position, block.highBandStart);
      position += width;
      const int end = std::min(position, block.codedEnd);
      if (end > start) block.highBands.push_back(end - start);
    }
    layout.blocks.push_back(std::move(block));
  }
  layout.coefficientTable = 2;
  if (rate >= 32000) {
    if (stereoBits < 0.72)
      layout.coefficientTable = 0;
    else if (stereoBits < 1.16)
      layout.coefficientTable = 1;
  }
  return layout;
}

}  // namespace wmvcore::wmav2
