// Speaker positions as WAVEFORMATEXTENSIBLE's channel mask names them, and the positions that a
// plain multichannel format (no mask) stands for: the runtime describes and mixes its PCM with
// them, and the host hands the filter its audio in them.
#pragma once

#include <cstdint>

// The speakers of a plain format of `channels` channels, in channel order (lowest bit first),
// as Windows assigns them; 0 beyond eight channels, where no usual order exists.
inline constexpr std::uint32_t UsualChannelMask(unsigned channels) {
  switch (channels) {
    case 1:
      return 0x4;  // centre
    case 2:
      return 0x3;  // left, right
    case 3:
      return 0x7;  // left, right, centre
    case 4:
      return 0x33;  // quad: front and back pairs
    case 5:
      return 0x37;  // quad and centre
    case 6:
      return 0x3f;  // 5.1
    case 7:
      return 0x13f;  // 5.1 and back centre
    case 8:
      return 0x63f;  // 7.1: 5.1 and side pair
    default:
      return 0;
  }
}

inline constexpr unsigned kLargestUsualLayout = 8;

// The lowest `count` positions of `mask`: a mask naming more speakers than a format has
// channels places the channels on its first ones.
inline constexpr std::uint32_t LowestPositions(std::uint32_t mask, unsigned count) {
  std::uint32_t kept = 0;
  for (unsigned bit = 0; bit < 32 && count > 0; ++bit) {
    if (mask & (1u << bit)) {
      kept |= 1u << bit;
      --count;
    }
  }
  return kept;
}
