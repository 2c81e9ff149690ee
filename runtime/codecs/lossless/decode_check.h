// Decodes each packet again with libavcodec's lossless decoder as it is written and compares
// what comes out with what went in; the first difference fails the encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/lossless/stream_format.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace wmvcore::lossless {

class DecodeCheck {
 public:
  // Null when the decoder cannot be opened.
  static std::unique_ptr<DecodeCheck> Open(const StreamFormat& format);
  ~DecodeCheck();
  DecodeCheck(const DecodeCheck&) = delete;
  DecodeCheck& operator=(const DecodeCheck&) = delete;

  // Input that the packets to come must give back, interleaved.
  void Expect(const int32_t* interleaved, std::size_t frames);
  // Decodes one packet; false at the first difference (or a decoder failure).
  bool Check(const std::vector<uint8_t>& packet);
  // Drains the decoder; false when it gives back too little, too much, or something else.
  bool Finish();
  // What went wrong, for the failure's report.
  const std::string& failure() const { return failure_; }

 private:
  explicit DecodeCheck(const StreamFormat& format) : format_(format) {}
  bool Receive();

  StreamFormat format_;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::vector<int32_t> expected_;  // interleaved, from expectedStart_ on
  std::size_t expectedStart_ = 0;
  uint64_t compared_ = 0;  // sample frames
  std::string failure_;
};

}  // namespace wmvcore::lossless
