// Fits a block into a number of bits: exponents from the masking thresholds shape the
// quantisation noise across the bands, and the total gain, searched, sets its level so that
// the block's bits stay within the budget with as few to spare as the gain's steps allow.
#pragma once

#include <array>
#include <vector>

#include "coding.h"

namespace wmvcore::wmav2 {

// One channel of a block before quantisation.
struct ChannelSpectrum {
  const float* coefficients = nullptr;  // the block's length of them
  std::vector<float> thresholds;        // per exponent band
};

// Fills `block`'s exponents, gain and levels for `channels` at the lowest gain from
// `lowestGain` up at which it takes no more than `budget` bits, and gives its bits; the fewest
// bits the block can take when even the coarsest gain exceeds `budget`.
std::size_t FitBlock(const StreamLayout& layout, const std::array<ChannelSpectrum, 2>& channels,
                     std::size_t budget, int lowestGain, CodedBlock& block);

// Adds stuffing codes to a fitted block to bring it up to `bits` (short by less than one code
// where codes cannot make it exact); gives its bits.
std::size_t Stuff(const StreamLayout& layout, std::size_t bits, CodedBlock& block);

}  // namespace wmvcore::wmav2
