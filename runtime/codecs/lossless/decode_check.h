// Decodes each packet again with libavcodec's lossless decoder as it is written and compares
// what comes out with what went in; the first difference fails the encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/lossless/stream_format.h"
#include "codecs/shared/packet_decoder.h"

namespace wmvcore::lossless {

class DecodeCheck {
 public:
  // Null when the decoder cannot be opened.
  static std::unique_ptr<DecodeCheck> Open(const StreamFormat& format);
  // Input that the packets to come must give back, interleaved.
  void Expect(const int32_t* interleaved, std::size_t frames);
  // Decodes one packet; false at the first difference (or a decoder failure).
  bool Check(const std::vector<uint8_t>& packet);
  // Drains the decoder; false when it gives back too little, too much, or something else.
  bool Finish();
  // What went wrong, for the failure's report.
  const std::string& failure() const { return failure_.empty() ? decoder_->failure() : failure_; }

 private:
  explicit DecodeCheck(const StreamFormat& format) : format_(format) {}
  bool Compare(const AVFrame& frame);

  StreamFormat format_;
  std::unique_ptr<PacketDecoder> decoder_;
  std::vector<int32_t> expected_;  // interleaved, from expectedStart_ on
  std::size_t expectedStart_ = 0;
  uint64_t compared_ = 0;  // sample frames
  std::string failure_;
};

}  // namespace wmvcore::lossless
