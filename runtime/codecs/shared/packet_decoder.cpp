#include "codecs/shared/packet_decoder.h"

#include <algorithm>

namespace wmvcore {

std::unique_ptr<PacketDecoder> PacketDecoder::Open(const Stream& stream) {
  const AVCodec* decoder = avcodec_find_decoder(stream.codec);
  if (!decoder) return nullptr;
  std::unique_ptr<PacketDecoder> made(new PacketDecoder);
  made->codec_ = avcodec_alloc_context3(decoder);
  made->frame_ = av_frame_alloc();
  made->packet_ = av_packet_alloc();
  if (!made->codec_ || !made->frame_ || !made->packet_) return nullptr;
  AVCodecContext& codec = *made->codec_;
  codec.sample_rate = stream.sampleRate;
  if (stream.channelMask)
    av_channel_layout_from_mask(&codec.ch_layout, stream.channelMask);
  else
    av_channel_layout_default(&codec.ch_layout, stream.channels);
  codec.block_align = stream.blockAlign;
  codec.bit_rate = stream.bitRate;
  codec.extradata =
      static_cast<uint8_t*>(av_mallocz(stream.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!codec.extradata) return nullptr;
  std::copy(stream.extra.begin(), stream.extra.end(), codec.extradata);
  codec.extradata_size = static_cast<int>(stream.extra.size());
  if (avcodec_open2(&codec, decoder, nullptr) < 0) return nullptr;
  return made;
}

PacketDecoder::~PacketDecoder() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  avcodec_free_context(&codec_);
}

bool PacketDecoder::Decode(const std::vector<uint8_t>* packet, const Take& take) {
  int sent = 0;
  if (packet != nullptr) {
    if (av_new_packet(packet_, static_cast<int>(packet->size())) < 0) {
      failure_ = "out of memory";
      return false;
    }
    std::copy(packet->begin(), packet->end(), packet_->data);
    sent = avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
  } else {
    sent = avcodec_send_packet(codec_, nullptr);
  }
  if (sent < 0) {
    failure_ = packet != nullptr ? "the decoder refused a packet" : "the decoder failed at the end";
    return false;
  }
  for (;;) {
    const int result = avcodec_receive_frame(codec_, frame_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      failure_ = "the decoder failed";
      return false;
    }
    const bool taken = take(*frame_);
    av_frame_unref(frame_);
    if (!taken) return false;
  }
}

bool DecodeCheckBase::OpenDecoder(const PacketDecoder::Stream& stream) {
  decoder_ = PacketDecoder::Open(stream);
  return decoder_ != nullptr;
}

bool DecodeCheckBase::Finish() {
  if (!decoder_->Decode(nullptr, Taker())) return false;
  if (!AllGivenBack()) {
    failure_ = "the decoder gave " + std::to_string(compared_) + " samples, fewer than were coded";
    return false;
  }
  return true;
}

}  // namespace wmvcore
