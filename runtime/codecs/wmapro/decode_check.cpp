#include "codecs/wmapro/decode_check.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace wmvcore::wmapro {
namespace {

// The decoder's transform and ours round differently, by some units in the last place of
// samples at full scale 1; a bitstream slip is off by far more.
constexpr float kTolerance = 1e-5f;

}  // namespace

std::unique_ptr<DecodeCheck> DecodeCheck::Open(const StreamFormat& format) {
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_WMAPRO);
  if (!decoder) return nullptr;
  std::unique_ptr<DecodeCheck> check(new DecodeCheck(format));
  check->codec_ = avcodec_alloc_context3(decoder);
  check->frame_ = av_frame_alloc();
  check->packet_ = av_packet_alloc();
  if (!check->codec_ || !check->frame_ || !check->packet_) return nullptr;
  AVCodecContext& codec = *check->codec_;
  codec.sample_rate = format.sampleRate;
  av_channel_layout_default(&codec.ch_layout, format.channels);
  codec.block_align = PacketBytes(format);
  codec.bit_rate = format.bitRate;
  const auto data = CodecData(format);
  codec.extradata = static_cast<uint8_t*>(av_mallocz(data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!codec.extradata) return nullptr;
  std::copy(data.begin(), data.end(), codec.extradata);
  codec.extradata_size = static_cast<int>(data.size());
  if (avcodec_open2(&codec, decoder, nullptr) < 0) return nullptr;
  check->expected_.resize(static_cast<std::size_t>(format.channels));
  return check;
}

DecodeCheck::~DecodeCheck() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&codec_);
}

void DecodeCheck::Expect(const float* const* channels, std::size_t samples) {
  for (std::size_t c = 0; c < expected_.size(); ++c) {
    auto& expected = expected_[c];
    if (expectedStart_ > 0)
      expected.erase(expected.begin(),
                     expected.begin() + static_cast<std::ptrdiff_t>(expectedStart_));
    expected.insert(expected.end(), channels[c], channels[c] + samples);
  }
  expectedStart_ = 0;
}

bool DecodeCheck::Receive() {
  for (;;) {
    const int result = avcodec_receive_frame(codec_, frame_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      failure_ = "the decoder failed";
      return false;
    }
    const auto samples = static_cast<std::size_t>(frame_->nb_samples);
    if (expected_[0].size() - expectedStart_ < samples) {
      failure_ = "the decoder gave more samples than were coded";
      av_frame_unref(frame_);
      return false;
    }
    for (std::size_t c = 0; c < expected_.size(); ++c) {
      const auto* got = reinterpret_cast<const float*>(frame_->extended_data[c]);
      for (std::size_t i = 0; i < samples; ++i) {
        const float difference = std::fabs(got[i] - expected_[c][expectedStart_ + i]);
        largest_ = std::max(largest_, difference);
        if (!(difference <= kTolerance)) {
          failure_ = "sample " + std::to_string(compared_ + i) + " of channel " +
                     std::to_string(c) + " decodes as " + std::to_string(got[i]) + ", not " +
                     std::to_string(expected_[c][expectedStart_ + i]);
          av_frame_unref(frame_);
          return false;
        }
      }
    }
    expectedStart_ += samples;
    compared_ += samples;
    av_frame_unref(frame_);
  }
}

bool DecodeCheck::Check(const std::vector<uint8_t>& packet) {
  if (av_new_packet(packet_, static_cast<int>(packet.size())) < 0) {
    failure_ = "out of memory";
    return false;
  }
  std::copy(packet.begin(), packet.end(), packet_->data);
  const int sent = avcodec_send_packet(codec_, packet_);
  av_packet_unref(packet_);
  if (sent < 0) {
    failure_ = "the decoder refused a packet";
    return false;
  }
  return Receive();
}

bool DecodeCheck::Finish() {
  if (avcodec_send_packet(codec_, nullptr) < 0 || !Receive()) {
    if (failure_.empty()) failure_ = "the decoder failed at the end";
    return false;
  }
  if (expected_[0].size() != expectedStart_) {
    failure_ = "the decoder gave " + std::to_string(compared_) + " samples, fewer than were coded";
    return false;
  }
  return true;
}

}  // namespace wmvcore::wmapro
