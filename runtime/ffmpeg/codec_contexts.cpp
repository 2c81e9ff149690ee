#include "ffmpeg/codec_contexts.h"

namespace wmvcore {

CodecContextHandle OpenDecoder(const AVCodec& codec, const AVCodecParameters& parameters,
                               AVRational timebase, bool inside) {
  CodecContextHandle context(avcodec_alloc_context3(&codec));
  if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0) return nullptr;
  context->pkt_timebase = timebase;
  if (inside) context->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
  if (avcodec_open2(context.get(), &codec, nullptr) < 0) return nullptr;
  return context;
}

CodecContextHandle OpenEncoder(const AVCodec& codec, int rate, int channels, int64_t bitRate) {
  CodecContextHandle context(avcodec_alloc_context3(&codec));
  if (!context) return nullptr;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = rate;
  av_channel_layout_default(&context->ch_layout, channels);
  context->bit_rate = bitRate;
  context->time_base = AVRational{1, rate};
  // The muxer writes the codec data into the stream's format block.
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(context.get(), &codec, nullptr) < 0 || context->frame_size <= 0) return nullptr;
  return context;
}

}  // namespace wmvcore
