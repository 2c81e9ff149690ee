// The codecs' masking model over a Professional block's scale factor bands.
#pragma once

#include <vector>

#include "codecs/shared/masking.h"
#include "codecs/wmapro/stream_format.h"

namespace wmvcore::wmapro {

class Masking {
 public:
  Masking(const StreamFormat& format, int length) : rate_(format.sampleRate), length_(length) {
    const std::vector<int> edges = BandEdges(format, length);
    for (std::size_t b = 1; b < edges.size(); ++b) widths_.push_back(edges[b] - edges[b - 1]);
  }
  int bands() const { return static_cast<int>(widths_.size()); }
  int width(int band) const { return widths_[static_cast<std::size_t>(band)]; }
  void Thresholds(const float* coefficients, std::vector<float>& energies,
                  std::vector<float>& thresholds) const {
    BandEnergies(coefficients, widths_, energies);
    MaskingThresholds(energies, widths_, length_, rate_, thresholds);
  }
  void Energies(const float* coefficients, std::vector<float>& energies) const {
    BandEnergies(coefficients, widths_, energies);
  }

 private:
  int rate_;
  int length_;
  std::vector<int> widths_;
};

}  // namespace wmvcore::wmapro
