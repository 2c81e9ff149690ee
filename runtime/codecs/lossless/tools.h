// The prediction tools a seekable tile sets for itself and the tiles after it, up to the next
// seekable tile: in the order the encoder applies them, a fixed short filter on each channel,
// mid and side for a stereo pair, and a cascade of LMS filters on each channel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace wmvcore::lossless {

struct LmsSetting {
  int order = 16;   // a multiple of 8 (of 16 for 16-bit streams), at most 256
  int scaling = 8;  // the coefficients' fractional bits, 0 to 15
};

struct Tools {
  // The fixed filter predicts sum(coefs[j] * x[i - 1 - j]) >> scaling, each coefficient from 1
  // to 2^scaling; order 0 leaves it out.
  int fixedOrder = 0;
  int fixedScaling = 0;
  std::array<int16_t, 16> fixedCoefs{};
  bool midSide = false;  // stereo only
  // The cascade, first filter first; every channel has the same, and every seekable tile of a
  // stream the same number (the decoder clears at a seekable tile only as many filters as the
  // tile before it used).
  std::vector<LmsSetting> cascade;
  int averageScaling = 4;  // how slowly the Rice parameter follows, 0 to 7
};

}  // namespace wmvcore::lossless
