// The masking model over a Professional block's scale factor bands: the v2 coder's, until the
// codecs share it, so that only this adapter changes then.
#pragma once

#include <vector>

#include "codecs/wmapro/stream_format.h"
#include "codecs/wmav2/analysis.h"
#include "codecs/wmav2/layout.h"

namespace wmvcore::wmapro {

class Masking {
 public:
  Masking(const StreamFormat& format, int length) : rate_(format.sampleRate) {
    const std::vector<int> edges = BandEdges(format, length);
    layout_.length = length;
    for (std::size_t b = 1; b < edges.size(); ++b)
      layout_.exponentBands.push_back(edges[b] - edges[b - 1]);
  }
  int bands() const { return static_cast<int>(layout_.exponentBands.size()); }
  int width(int band) const { return layout_.exponentBands[static_cast<std::size_t>(band)]; }
  void Thresholds(const float* coefficients, std::vector<float>& energies,
                  std::vector<float>& thresholds) const {
    wmav2::BandEnergies(coefficients, layout_, energies);
    wmav2::MaskingThresholds(energies, layout_, rate_, thresholds);
  }
  void Energies(const float* coefficients, std::vector<float>& energies) const {
    wmav2::BandEnergies(coefficients, layout_, energies);
  }

 private:
  int rate_;
  wmav2::BlockLayout layout_;
};

}  // namespace wmvcore::wmapro
