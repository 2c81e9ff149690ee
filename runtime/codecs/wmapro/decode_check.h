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

class DecodeCheck {
 public:
  // Null when the decoder cannot be opened.
  static std::unique_ptr<DecodeCheck> Open(const StreamFormat& format);
  // Output that the packets to come must decode to: `samples` of each channel.
  void Expect(const float* const* channels, std::size_t samples);
  // Decodes one packet; false at the first difference (or a decoder failure).
  bool Check(const std::vector<uint8_t>& packet);
  // Drains the decoder; false when it gave back too little or too much.
  bool Finish();
  // What went wrong, for the failure's report.
  const std::string& failure() const { return failure_.empty() ? decoder_->failure() : failure_; }
  // The largest difference found so far.
  float largestDifference() const { return largest_; }

 private:
  explicit DecodeCheck(const StreamFormat& format) : format_(format) {}
  bool Compare(const AVFrame& frame);

  StreamFormat format_;
  std::unique_ptr<PacketDecoder> decoder_;
  std::vector<std::vector<float>> expected_;  // a channel, from expectedStart_ on
  std::size_t expectedStart_ = 0;
  uint64_t compared_ = 0;
  float largest_ = 0;
  std::string failure_;
};

}  // namespace wmvcore::wmapro
