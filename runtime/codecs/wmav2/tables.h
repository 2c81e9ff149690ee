// The code tables of Windows Media Audio versions 1 and 2: facts of the format, transcribed.
#pragma once

#include <cstdint>

namespace wmvcore::wmav2 {

// A run-level code table: code 0 is the escape, code 1 the end of the block, and codes from 2
// on stand for a (run, level) pair: the first levels[0] codes for level 1 with runs 0, 1, ...,
// the next levels[1] for level 2, and so on.
struct CoefficientTable {
  int codes;
  const uint32_t* bits;  // the code words, right-aligned
  const uint8_t* lengths;
  int levelCount;
  const uint16_t* levels;
};

// Tables 2t and 2t+1 are a pair: the first for every channel, the second for the side
// channel of a mid/side block.
const CoefficientTable& CoefficientTableAt(int index);

// Exponent band widths of the three largest block sizes at 44.1, 32 and 22.05 kHz: the count,
// then the widths.
extern const uint8_t kExponentBands44100[3][25];
extern const uint8_t kExponentBands32000[3][25];
extern const uint8_t kExponentBands22050[3][25];

// Exponent differences (plus 60) as the format codes them.
extern const uint32_t kScalefactorCodes[121];
extern const uint8_t kScalefactorBits[121];

// The band edges, in Hz, from which other block sizes' exponent bands are made.
extern const uint16_t kCriticalFrequencies[25];

}  // namespace wmvcore::wmav2
