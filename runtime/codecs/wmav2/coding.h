// The bitstream of one block: its header, exponents and run-level coded coefficients, written
// or only counted, from the choices the rate control made.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "codecs/shared/bit_writer.h"
#include "codecs/wmav2/layout.h"

namespace wmvcore::wmav2 {

// A block as it will be coded.
struct CodedBlock {
  int size = 0;  // index into the layout's block sizes
  // The block size field, when the stream has several sizes: the size of the block after.
  // (A decoder that starts on a frame first reads the sizes of the block before and of this
  // one: the packer puts them ahead of a packet's first new frame.)
  int nextSize = 0;
  bool midSide = false;
  std::array<bool, 2> coded{};
  int totalGain = 1;
  std::array<std::vector<int>, 2> exponents;  // per band, the format's exponent steps
  std::array<std::vector<int>, 2> levels;     // per coefficient up to the coded end
  // Zero-valued escape codes after a channel's last coefficient, which take bits and change
  // nothing: how a frame is filled to the bits the rate control gives it.
  std::array<int, 2> stuffing{};
  // Coefficients coded with the escape code though a shorter code has them, ascending, by
  // channel: each adds bits and changes nothing, which fills a block to the exact bit where
  // whole stuffing codes cannot.
  std::array<std::vector<int>, 2> escaped;
};

// Writes `block` (null `out`: only counts) and gives its length in bits.
std::size_t WriteBlock(const StreamLayout& layout, const CodedBlock& block, BitWriter* out);

// What coding each coefficient of `channel` with the escape code instead of its shorter code
// would add, as (coefficient, bits), ascending.
void EscapeCosts(const StreamLayout& layout, const CodedBlock& block, int channel,
                 std::vector<std::pair<int, int>>& costs);

// Room for stuffing codes after a channel's last coefficient.
int StuffingRoom(const std::vector<int>& levels);
// Bits one stuffing code takes in a block of that total gain.
int StuffingBits(const StreamLayout& layout, const CodedBlock& block, int channel);

// The width of an escaped level for a total gain.
int EscapeLevelBits(int totalGain);

}  // namespace wmvcore::wmav2
