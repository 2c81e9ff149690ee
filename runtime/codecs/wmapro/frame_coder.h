// Codes one frame of a Professional stream: each block transformed with the windows its
// neighbours' lengths shape, its bands' masking thresholds found, left and right or mid and
// side chosen, and the scale factors set so that each band's quantisation noise follows its
// threshold; the quantiser step, searched, then fits the frame into a number of bits. Also
// gives back what a decoder makes of the coded frames, for the verify mode.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "codecs/wmapro/bitstream.h"
#include "codecs/wmapro/stream_format.h"

namespace wmvcore::wmapro {

class FrameCoder {
 public:
  static std::unique_ptr<FrameCoder> Create(const StreamFormat& format);
  ~FrameCoder();
  FrameCoder(const FrameCoder&) = delete;
  FrameCoder& operator=(const FrameCoder&) = delete;

  // Analyses a frame from its channels' samples: each 2 * FrameSamples() long, the frame's and
  // the next's. `previous` is the length of the last block before the frame. Gives the bits
  // the frame would need to be coded at its masking thresholds, a guide for sharing bits out.
  double Analyse(const float* const* samples, int previous);
  // Codes the analysed frame in at most `budget` bits, stuffed up to `fill` bits where it
  // falls short (as near as stuffing can come); `trimEnd` samples dropped at its end.
  // Gives the frame's bits, more than `budget` only where the frame cannot take fewer.
  uint64_t Code(uint64_t budget, uint64_t fill, int trimEnd, CodedFrame& frame);

  // The fewest bits any frame takes.
  uint64_t FewestBits() const;

 private:
  explicit FrameCoder(const StreamFormat& format);
  struct State;
  std::unique_ptr<State> state_;
};

// What a decoder makes of coded frames, one after another: each frame's output is the frame
// before's second half overlapped with this one's first.
class Reconstruction {
 public:
  static std::unique_ptr<Reconstruction> Create(const StreamFormat& format);
  ~Reconstruction();
  Reconstruction(const Reconstruction&) = delete;
  Reconstruction& operator=(const Reconstruction&) = delete;

  // Decodes `frame`; gives a channel of its output (FrameSamples() samples), or of the frame
  // before's for the first.
  void Add(const CodedFrame& frame);
  const float* Output(int channel) const;

 private:
  explicit Reconstruction(const StreamFormat& format);
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace wmvcore::wmapro
