// The code tables of the Windows Media Audio Professional bitstream, as its decoders read it:
// the scale factor band edges, the scale factors' codes, and the coefficients' vector and
// run-level codes. Each code table is the codes and their lengths by symbol; what a symbol
// stands for is in the tables beside it.
#pragma once

#include <cstdint>

namespace wmvcore::wmapro {

// The upper edges (Hz) of the scale factor bands; a block's bands are these scaled to it.
extern const uint16_t kCriticalFrequencies[28];

// Scale factors: the difference from the band before, plus 60, as a symbol.
extern const uint32_t kScaleCodes[121];
extern const uint8_t kScaleBits[121];

// Scale factors a frame's later blocks change: symbol 0 escapes, 1 ends, others a run and level.
extern const uint32_t kScaleRunCodes[120];
extern const uint8_t kScaleRunBits[120];
extern const uint8_t kScaleRunRuns[120];
extern const uint8_t kScaleRunLevels[120];

// Run-level codes of the coefficients, two tables: symbol 0 escapes, 1 ends the block.
extern const uint32_t kCoef0Codes[272];
extern const uint8_t kCoef0Bits[272];
extern const uint16_t kCoef0Runs[272];
extern const uint16_t kCoef0Levels[272];
extern const uint32_t kCoef1Codes[244];
extern const uint8_t kCoef1Bits[244];
extern const uint16_t kCoef1Runs[244];
extern const uint16_t kCoef1Levels[244];

// Vector codes: four magnitudes a symbol (a nibble each, the first at the top), two (a nibble
// each), or one (up to 99). Each code's last symbol escapes to the next smaller vector, the
// single one's to a large value.
extern const uint32_t kVec4Codes[127];
extern const uint8_t kVec4Bits[127];
extern const uint32_t kVec2Codes[137];
extern const uint8_t kVec2Bits[137];
extern const uint32_t kVec1Codes[101];
extern const uint8_t kVec1Bits[101];
extern const uint16_t kVec4Values[127];
extern const uint8_t kVec2Values[137];

}  // namespace wmvcore::wmapro
