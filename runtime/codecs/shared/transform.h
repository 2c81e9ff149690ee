// What the coder knows of a block before it codes it: its transform coefficients, in the
// decoder's units before the transform's normalisation, and a masking threshold per exponent
// band, the noise energy a band can carry unheard.
#pragma once

#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include "codecs/wmav2/layout.h"

namespace wmvcore::wmav2 {

// Floats aligned as libavutil's vector code needs them.
class AlignedFloats {
 public:
  explicit AlignedFloats(std::size_t count)
      : data_(static_cast<float*>(av_calloc(count, sizeof(float)))) {}
  ~AlignedFloats() { av_free(data_); }
  AlignedFloats(const AlignedFloats&) = delete;
  AlignedFloats& operator=(const AlignedFloats&) = delete;
  bool ready() const { return data_ != nullptr; }
  float* data() const { return data_; }

 private:
  float* data_;
};

class Transform {
 public:
  explicit Transform(int length);  // coefficients; the input is twice as long
  ~Transform();
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;
  bool ready() const { return context_ != nullptr && windowed_.ready() && output_.ready(); }
  // Windows 2 * length samples of `input` with `window` and transforms them.
  void Forward(const float* input, const float* window, float* coefficients);

 private:
  int length_;
  AVTXContext* context_ = nullptr;
  av_tx_fn transform_ = nullptr;
  AlignedFloats windowed_;
  AlignedFloats output_;
};

// The window of a block of `length` coefficients between blocks of `previous` and `next`:
// where a neighbour is shorter, the overlap with it is the neighbour's sine slope in the
// middle of the half, with ones inside it and zeros outside, as the decoder windows.
void BlockWindow(int length, int previous, int next, std::vector<float>& window);

// Whether `count` samples (from `samples`) hold an attack: a stretch much louder, in its high
// frequencies, than what came before it.
bool HasAttack(const float* samples, int count);

// Mean energy a coefficient of each band.
void BandEnergies(const float* coefficients, const BlockLayout& block,
                  std::vector<float>& energies);

// The masking threshold of each band (mean noise energy a coefficient) from the bands'
// energies: each band masks its neighbours through a spreading slope, less than itself by an
// offset, and no threshold falls below the quietest level worth coding.
void MaskingThresholds(const std::vector<float>& energies, const BlockLayout& block, int rate,
                       std::vector<float>& thresholds);

}  // namespace wmvcore::wmav2
