#include "codecs/lossless/decode_check.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace wmvcore::lossless {

std::unique_ptr<DecodeCheck> DecodeCheck::Open(const StreamFormat& format) {
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_WMALOSSLESS);
  if (!decoder) return nullptr;
  std::unique_ptr<DecodeCheck> check(new DecodeCheck(format));
  check->codec_ = avcodec_alloc_context3(decoder);
  check->frame_ = av_frame_alloc();
  check->packet_ = av_packet_alloc();
  if (!check->codec_ || !check->frame_ || !check->packet_) return nullptr;
  AVCodecContext& codec = *check->codec_;
  codec.sample_rate = format.sampleRate;
  if (format.channelMask)
    av_channel_layout_from_mask(&codec.ch_layout, format.channelMask);
  else
    av_channel_layout_default(&codec.ch_layout, format.channels);
  codec.block_align = PacketBytes(format);
  const auto data = CodecData(format);
  codec.extradata = static_cast<uint8_t*>(av_mallocz(data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!codec.extradata) return nullptr;
  std::copy(data.begin(), data.end(), codec.extradata);
  codec.extradata_size = static_cast<int>(data.size());
  if (avcodec_open2(&codec, decoder, nullptr) < 0) return nullptr;
  return check;
}

DecodeCheck::~DecodeCheck() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&codec_);
}

void DecodeCheck::Expect(const int32_t* interleaved, std::size_t frames) {
  if (expectedStart_ > 0 && expectedStart_ * 2 > expected_.size()) {
    expected_.erase(expected_.begin(),
                    expected_.begin() + static_cast<std::ptrdiff_t>(expectedStart_));
    expectedStart_ = 0;
  }
  expected_.insert(expected_.end(), interleaved,
                   interleaved + frames * static_cast<std::size_t>(format_.channels));
}

bool DecodeCheck::Receive() {
  const auto channels = static_cast<std::size_t>(format_.channels);
  for (;;) {
    const int result = avcodec_receive_frame(codec_, frame_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      failure_ = "the decoder failed";
      return false;
    }
    const auto samples = static_cast<std::size_t>(frame_->nb_samples);
    if ((expected_.size() - expectedStart_) / channels < samples) {
      failure_ = "the decoder gave more samples than went in";
      return false;
    }
    for (std::size_t c = 0; c < channels; ++c) {
      for (std::size_t i = 0; i < samples; ++i) {
        const int32_t want = expected_[expectedStart_ + i * channels + c];
        const int32_t got =
            format_.bitsPerSample == 16
                ? reinterpret_cast<const int16_t*>(frame_->extended_data[c])[i]
                : reinterpret_cast<const int32_t*>(frame_->extended_data[c])[i] >> 8;
        if (got != want) {
          failure_ = "sample " + std::to_string(compared_ + i) + " of channel " +
                     std::to_string(c) + " decodes as " + std::to_string(got) + ", not " +
                     std::to_string(want);
          av_frame_unref(frame_);
          return false;
        }
      }
    }
    expectedStart_ += samples * channels;
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
  if (expected_.size() != expectedStart_) {
    failure_ = "the decoder gave " + std::to_string(compared_) + " samples, fewer than went in";
    return false;
  }
  return true;
}

}  // namespace wmvcore::lossless
