// The verify mode: decodes a segment's packets with libavcodec's Professional decoder as they
// are written and compares what comes out with the encoder's own reconstruction of the frames
// (their quantised spectra transformed back); the first sample further off than rounding in
// the decoder's float arithmetic explains fails the encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/shared/packet_decoder.h"
#include "codecs/wmapro/stream_format.h"

namespace wmvcore::wmapro {

class DecodeCheck final : public DecodeCheckBase {
 public:
  // Null when the decoder cannot be opened.
  static std::unique_ptr<DecodeCheck> Open(const StreamFormat& format);
  // Output that the packets to come must decode to: `samples` of each channel.
  void Expect(const float* const* channels, std::size_t samples);
  // The largest difference found so far.
  float largestDifference() const { return largest_; }

 private:
  explicit DecodeCheck(const StreamFormat& format) : format_(format) {}
  bool Compare(const AVFrame& frame) override;
  bool AllGivenBack() const override;

  StreamFormat format_;
  std::vector<std::vector<float>> expected_;  // a channel, from expectedStart_ on
  std::size_t expectedStart_ = 0;
  float largest_ = 0;
};

}  // namespace wmvcore::wmapro
