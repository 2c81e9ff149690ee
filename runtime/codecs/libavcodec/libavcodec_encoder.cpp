#include "codecs/libavcodec/libavcodec_encoder.h"

#include <new>
#include <vector>

#include "base/result.h"
#include "ffmpeg/codec_contexts.h"
#include "ffmpeg/ffmpeg_handles.h"

namespace wmvcore {
namespace {

// Samples a channel in one segment: 1.5 s at 44.1 kHz. The priming frame costs one frame a
// segment (3% at 2048 samples a frame), and handing a segment over costs far less than coding it.
constexpr int kSegmentSamples = 65536;

class LibavcodecCoder final : public SegmentCoder {
 public:
  explicit LibavcodecCoder(CodecContextHandle codec) : codec_(std::move(codec)) {}

  bool Ready() const { return frame_ && packet_; }

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    AVCodecContext& codec = *codec_;
    AVFrame& view = *frame_;
    av_frame_unref(&view);
    if (av_channel_layout_copy(&view.ch_layout, &codec.ch_layout) < 0) return E_OUTOFMEMORY;
    view.format = codec.sample_fmt;
    view.sample_rate = codec.sample_rate;
    view.nb_samples = audio.frameSamples();
    view.extended_data = view.data;
    std::size_t written = 0;
    const std::size_t frames = audio.priming + audio.coded;
    for (std::size_t k = 0; k < frames; ++k) {
      // The frame only points into the segment: libavcodec takes a copy of it.
      for (int c = 0; c < audio.channels(); ++c)
        view.data[c] = reinterpret_cast<uint8_t*>(const_cast<float*>(audio.Float(k, c)));
      view.pts = audio.firstPts +
                 (static_cast<int64_t>(k) - static_cast<int64_t>(audio.priming)) * view.nb_samples;
      if (const int sent = avcodec_send_frame(&codec, &view); sent < 0) return AvFailure(sent);
      for (;;) {
        const int received = avcodec_receive_packet(&codec, packet_.get());
        if (received == AVERROR(EAGAIN)) break;
        if (received < 0) return AvFailure(received);
        // The priming frames' packets are what the segment before wrote.
        HRESULT result = S_OK;
        if (k >= audio.priming) {
          result = sink.Write(Payload{packet_->data, static_cast<std::size_t>(packet_->size),
                                      packet_->pts, packet_->duration});
          ++written;
        }
        av_packet_unref(packet_.get());
        RETURN_IF_FAILED(result);
      }
    }
    // One packet a frame is what makes the join exact; anything else is not these encoders.
    return written == audio.coded ? S_OK : E_UNEXPECTED;
  }

 private:
  CodecContextHandle codec_;
  FrameHandle frame_{av_frame_alloc()};
  PacketHandle packet_{av_packet_alloc()};
};

class LibavcodecEncoder final : public StreamEncoder {
 public:
  static std::unique_ptr<StreamEncoder> Open(AVCodecID id, const WaveFormat& stream) {
    const AVCodec* codec = avcodec_find_encoder(id);
    if (codec == nullptr) return nullptr;
    // Out of memory here is no format it cannot encode: the exception goes to the caller's
    // boundary.
    std::unique_ptr<LibavcodecEncoder> encoder(new LibavcodecEncoder(*codec, stream));
    const CodecContextHandle context = encoder->OpenContext();
    if (!context) return nullptr;
    EncoderShape& shape = encoder->shape_;
    shape.format = stream;
    shape.format.blockAlign = static_cast<WORD>(context->block_align);
    shape.format.bitsPerSample = 16;
    shape.format.extra.assign(context->extradata, context->extradata + context->extradata_size);
    shape.layout = SampleLayout::kFloat;
    shape.frameSamples = context->frame_size;
    // The decoder drops one frame more than the encoder pads: a frame of silence goes first, so
    // that the decoded file lines up with the input from its first sample.
    shape.leadingFrames = 1;
    shape.primingFrames = 1;
    shape.lookaheadFrames = 0;
    shape.segmentFrames = std::max(1, kSegmentSamples / context->frame_size);
    return encoder;
  }

  const EncoderShape& shape() const override { return shape_; }

  std::unique_ptr<SegmentCoder> NewCoder() const override {
    CodecContextHandle context = OpenContext();
    if (!context) return nullptr;
    std::unique_ptr<LibavcodecCoder> coder(new (std::nothrow) LibavcodecCoder(std::move(context)));
    if (!coder || !coder->Ready()) return nullptr;
    return coder;
  }

 private:
  LibavcodecEncoder(const AVCodec& codec, const WaveFormat& stream)
      : codec_(codec), stream_(stream) {}

  CodecContextHandle OpenContext() const {
    return OpenEncoder(codec_, static_cast<int>(stream_.samplesPerSec), stream_.channels,
                       static_cast<int64_t>(stream_.avgBytesPerSec) * 8);
  }

  const AVCodec& codec_;
  WaveFormat stream_;
  EncoderShape shape_;
};

}  // namespace

std::unique_ptr<StreamEncoder> OpenLibavcodecWmaV1(const WaveFormat& stream) {
  return LibavcodecEncoder::Open(AV_CODEC_ID_WMAV1, stream);
}

std::unique_ptr<StreamEncoder> OpenLibavcodecWmaV2(const WaveFormat& stream) {
  return LibavcodecEncoder::Open(AV_CODEC_ID_WMAV2, stream);
}

}  // namespace wmvcore
