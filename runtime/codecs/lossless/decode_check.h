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

class DecodeCheck final : public DecodeCheckBase {
 public:
  // Null when the decoder cannot be opened.
  static std::unique_ptr<DecodeCheck> Open(const StreamFormat& format);
  // Input that the packets to come must give back, interleaved.
  void Expect(const int32_t* interleaved, std::size_t frames);

 private:
  explicit DecodeCheck(const StreamFormat& format) : format_(format) {}
  bool Compare(const AVFrame& frame) override;
  bool AllGivenBack() const override;

  StreamFormat format_;
  std::vector<int32_t> expected_;  // interleaved, from expectedStart_ on
  std::size_t expectedStart_ = 0;
};

}  // namespace wmvcore::lossless
