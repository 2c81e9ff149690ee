// The lossy codecs' transform: a windowed MDCT of any power-of-two length the formats use
// (64 to 8192 coefficients), scaled as the codec's decoder needs it, and the sine windows of
// blocks whose overlap with each neighbour is the shorter block's.
#pragma once

#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

namespace wmvcore {

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
  // `length` coefficients from twice as many samples, each multiplied by `scale`: what the
  // codec's inverse transform needs to give the samples back.
  Transform(int length, float scale);
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
// middle of the half, with ones inside it and zeros outside, as the decoders window.
void BlockWindow(int length, int previous, int next, std::vector<float>& window);

}  // namespace wmvcore
