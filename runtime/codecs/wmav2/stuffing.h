// Fills a fitted block to an exact number of bits, changing nothing the decoder makes of it:
// zero-valued escape codes after a channel's last coefficient, coefficients coded with the
// escape code where a shorter code has them, and raised exponents of bands whose levels are
// all zero. What holds each segment of a constant-rate stream to its share to the bit.
#pragma once

#include <cstddef>

#include "codecs/wmav2/coding.h"

namespace wmvcore::wmav2 {

// Adds stuffing to a fitted block to bring it up to `bits` (short by less than one code where
// nothing can make it exact); gives its bits.
std::size_t Stuff(const StreamLayout& layout, std::size_t bits, CodedBlock& block);

}  // namespace wmvcore::wmav2
