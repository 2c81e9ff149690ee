// Fits a block into a number of bits: exponents from the masking thresholds shape the
// quantisation noise across the bands, and the total gain, searched, sets its level so that
// the block's bits stay within the budget with as few to spare as the gain's steps allow.
#pragma once

#include <array>
#include <vector>

#include "codecs/wmav2/coding.h"

namespace wmvcore::wmav2 {

// One channel of a block before quantisation.
struct ChannelSpectrum {
  const float* coefficients = nullptr;  // the block's length of them
  std::vector<float> thresholds;        // per exponent band
};

// A block to fit: its channels and how it will be coded.
struct BlockToFit {
  std::array<ChannelSpectrum, 2> channels;
  CodedBlock block;
};

// Fills the blocks' exponents, gain and levels at the lowest gain, the same for all of a
// frame's blocks, at which they take no more than `budget` bits together; gives their bits,
// the fewest they can take when even the coarsest gain exceeds `budget`.
std::size_t FitFrame(const StreamLayout& layout, std::vector<BlockToFit>& blocks,
                     std::size_t budget);

// Fills the blocks' exponents, gains and levels so that each band's noise is its masking
// threshold moved by `noiseOffsetDb` (quality-based coding), each block at its own gain; where
// the frame would then take more than `most` bits, the gains rise together until it fits.
// Gives the frame's bits.
std::size_t FitQuality(const StreamLayout& layout, std::vector<BlockToFit>& blocks,
                       double noiseOffsetDb, std::size_t most);

}  // namespace wmvcore::wmav2
