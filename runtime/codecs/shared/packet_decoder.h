// A libavcodec decoder fed one codec packet at a time, for the encoders' verify modes: each
// frame it gives goes to the caller, and the first refusal or failure ends it with a reason.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace wmvcore {

class PacketDecoder {
 public:
  struct Stream {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
    uint32_t channelMask = 0;  // 0: the usual speakers for the count
    int blockAlign = 0;
    int64_t bitRate = 0;
    std::vector<uint8_t> extra;  // the codec data
  };
  // A decoded frame; false stops the decoding (the taker says why).
  using Take = std::function<bool(const AVFrame& frame)>;

  // Null when the decoder cannot be opened.
  static std::unique_ptr<PacketDecoder> Open(const Stream& stream);
  ~PacketDecoder();
  PacketDecoder(const PacketDecoder&) = delete;
  PacketDecoder& operator=(const PacketDecoder&) = delete;

  // Decodes one packet, or drains the decoder for none; false at a refusal or failure (said in
  // failure()) or where `take` stops.
  bool Decode(const std::vector<uint8_t>* packet, const Take& take);
  const std::string& failure() const { return failure_; }

 private:
  PacketDecoder() = default;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::string failure_;
};

}  // namespace wmvcore
