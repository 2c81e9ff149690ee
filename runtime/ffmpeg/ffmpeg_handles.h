// Owning handles for FFmpeg's objects, each freed by its own free function.
#pragma once

#include <cerrno>
#include <memory>
#include <vector>

#include <windows.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace wmvcore {

struct InputFormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct CodecParametersFreer {
  void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};

using InputFormatHandle = std::unique_ptr<AVFormatContext, InputFormatCloser>;
using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using CodecParametersHandle = std::unique_ptr<AVCodecParameters, CodecParametersFreer>;

// What a failed call of FFmpeg's is as a result: running out of memory stays that, so that
// the caller can say so; anything else is the codec's failure.
inline HRESULT AvFailure(int error) { return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL; }

// Codec contexts shared by reference count between a coder and the jobs that code with them,
// so that no job relies on its owner outliving it.
using SharedCodecContext = std::shared_ptr<AVCodecContext>;
using SharedCodecContexts = std::shared_ptr<const std::vector<CodecContextHandle>>;

// A channel layout that names its channels: FFmpeg leaves a WAVEFORMATEX's mask of 0
// unspecified, which the converter cannot map, so such a layout becomes the default one for
// its channel count.
inline AVChannelLayout UsableLayout(const AVChannelLayout& layout) {
  AVChannelLayout usable{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&layout) == 0)
    av_channel_layout_default(&usable, layout.nb_channels);
  else
    av_channel_layout_copy(&usable, &layout);
  return usable;
}

}  // namespace wmvcore
