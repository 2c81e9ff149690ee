// The 18 extra bytes (cbSize 18 after the WAVEFORMATEX) with which the Professional and
// Lossless formats tell their decoder the stream's sample width, its speakers and which of the
// bitstream's features it uses, and the whole-number logarithm their field widths follow.
#pragma once

#include <array>
#include <cstdint>

namespace wmvcore {

inline std::array<uint8_t, 18> FeatureCodecData(int bitsPerSample, uint32_t channelMask,
                                                uint16_t decodeFlags) {
  std::array<uint8_t, 18> data{};
  data[0] = static_cast<uint8_t>(bitsPerSample);
  for (int byte = 0; byte < 4; ++byte)
    data[2 + byte] = static_cast<uint8_t>(channelMask >> (8 * byte));
  data[14] = static_cast<uint8_t>(decodeFlags & 0xFF);
  data[15] = static_cast<uint8_t>(decodeFlags >> 8);
  return data;
}

// The largest n with 2^n <= value (0 for 0).
inline int FloorLog2(uint64_t value) {
  int log = 0;
  while (value >>= 1) ++log;
  return log;
}

}  // namespace wmvcore
