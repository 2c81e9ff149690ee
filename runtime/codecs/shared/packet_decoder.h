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

// What the encoders' verify modes share: the packets decoded in the order written, each frame
// the decoder gives compared by the codec's own rule (Compare), and at the end every sample
// that went in given back (AllGivenBack).
class DecodeCheckBase {
 public:
  virtual ~DecodeCheckBase() = default;
  // Decodes one packet; false at the first difference (or a decoder failure).
  bool Check(const std::vector<uint8_t>& packet) { return decoder_->Decode(&packet, Taker()); }
  // Drains the decoder; false when it gave back too little, too much, or something else.
  bool Finish();
  // What went wrong, for the failure's report.
  const std::string& failure() const { return failure_.empty() ? decoder_->failure() : failure_; }

 protected:
  DecodeCheckBase() = default;
  // False when the decoder cannot be opened.
  bool OpenDecoder(const PacketDecoder::Stream& stream);
  // Compares one decoded frame with what went in, counting what it compared in compared_.
  virtual bool Compare(const AVFrame& frame) = 0;
  virtual bool AllGivenBack() const = 0;

  uint64_t compared_ = 0;  // sample frames given back and found right
  std::string failure_;

 private:
  PacketDecoder::Take Taker() {
    return [this](const AVFrame& frame) { return Compare(frame); };
  }
  std::unique_ptr<PacketDecoder> decoder_;
};

}  // namespace wmvcore
