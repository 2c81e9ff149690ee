// What a Windows Media Audio v2 stream's rate, channels, bit rate and coding flags make of its
// frames: the frame and block sizes, the exponent bands of each block size, the coefficients
// coded, the code tables and the field widths, derived as every decoder derives them.
#pragma once

#include <cstdint>
#include <vector>

namespace wmvcore::wmav2 {

// The coding flags of the codec data.
inline constexpr uint16_t kExponentVlc = 0x0001;
inline constexpr uint16_t kBitReservoir = 0x0002;
inline constexpr uint16_t kVariableBlocks = 0x0004;

struct BlockLayout {
  int length = 0;                  // coefficients
  std::vector<int> exponentBands;  // widths, adding up to `length`
  int codedEnd = 0;                // coefficients from here up are never coded
  int highBandStart = 0;           // where noise-coded bands may start
  std::vector<int> highBands;      // widths of the bands from highBandStart to codedEnd
};

struct StreamLayout {
  int rate = 0;
  int channels = 0;
  int64_t bitRate = 0;
  uint16_t flags = 0;
  int frameBits = 0;                // log2 of the frame length
  int frameLength = 0;              // samples a channel
  std::vector<BlockLayout> blocks;  // by size: the frame length, then halves
  int blockSizeBits = 0;            // width of a block size field (0: one block size)
  int byteOffsetBits = 0;           // a superframe's bit offset field is this + 3 bits wide
  bool noiseCoding = false;
  int coefficientTable = 0;  // the pair 2t, 2t+1

  // Null layout (frameLength 0) when the format cannot hold such a stream.
  static StreamLayout Make(int rate, int channels, int64_t bitRate, uint16_t flags);
};

}  // namespace wmvcore::wmav2
