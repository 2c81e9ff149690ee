#include "audio_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec_contexts.h"
#include "out_of_memory.h"
#include "result_codes.h"
#include "segmented_encoder.h"
#include "worker_pool.h"

namespace wmvcore {
namespace {

// Encoders whose packets depend only on their frame and the one before it (the overlap of the
// transform), one packet a frame, with nothing held back at the end: a segment encoded by its
// own encoder after one frame of priming gives the packets one encoder would give. Measured
// for both at every rate, channel count and bit rate of the catalogue; the writer's tests hold
// it to that.
bool EncodesInSegments(AVCodecID codec) {
  return codec == AV_CODEC_ID_WMAV1 || codec == AV_CODEC_ID_WMAV2;
}

// A converter to the encoder's planar float at the stream's rate and channels.
ResamplerHandle MakeConverter(const PcmFormat& input, int rate, int channels) {
  AVChannelLayout inputLayout{};
  AVChannelLayout outputLayout{};
  av_channel_layout_default(&inputLayout, input.channels);
  av_channel_layout_default(&outputLayout, channels);
  SwrContext* converter = nullptr;
  const int made = swr_alloc_set_opts2(&converter, &outputLayout, AV_SAMPLE_FMT_FLTP, rate,
                                       &inputLayout, ConverterSampleFormat(input.bits),
                                       static_cast<int>(input.rate), 0, nullptr);
  av_channel_layout_uninit(&inputLayout);
  av_channel_layout_uninit(&outputLayout);
  ResamplerHandle handle(converter);
  if (made < 0 || swr_init(converter) < 0) return nullptr;
  return handle;
}

}  // namespace

std::unique_ptr<AudioEncoder> AudioEncoder::Open(AVCodecID id, const WaveFormat& stream) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (codec == nullptr) return nullptr;
  CodecContextHandle context =
      OpenEncoder(*codec, static_cast<int>(stream.samplesPerSec), stream.channels,
                  static_cast<int64_t>(stream.avgBytesPerSec) * 8);
  if (!context) return nullptr;
  // Out of memory here is no format it cannot encode: the exception goes to the caller's boundary.
  std::unique_ptr<AudioEncoder> encoder(new AudioEncoder(std::move(context)));
  if (!encoder || !encoder->frame_ || !encoder->packet_) return nullptr;
  return encoder;
}

AudioEncoder::AudioEncoder(CodecContextHandle codec) : codec_(std::move(codec)) {}

AudioEncoder::~AudioEncoder() {
  if (queue_ != nullptr) av_audio_fifo_free(queue_);
}

bool AudioEncoder::CanConvert(const PcmFormat& input, const WaveFormat& stream) {
  return IsSupportedPcm(input) &&
         MakeConverter(input, static_cast<int>(stream.samplesPerSec), stream.channels) != nullptr;
}

HRESULT AudioEncoder::Begin(const PcmFormat& input) {
  return OutOfMemoryAsFailure([&] { return BeginCoding(input); });
}

HRESULT AudioEncoder::Write(const BYTE* bytes, std::size_t count, PacketSink& sink) {
  return OutOfMemoryAsFailure([&] { return WriteBytes(bytes, count, sink); });
}

HRESULT AudioEncoder::Finish(PacketSink& sink) {
  return OutOfMemoryAsFailure([&] { return FinishCoding(sink); });
}

HRESULT AudioEncoder::BeginCoding(const PcmFormat& input) {
  if (!IsSupportedPcm(input)) return NS_E_INVALID_INPUT_FORMAT;
  converter_ = MakeConverter(input, codec_->sample_rate, codec_->ch_layout.nb_channels);
  if (!converter_) return NS_E_INVALID_INPUT_FORMAT;
  queue_ = av_audio_fifo_alloc(codec_->sample_fmt, codec_->ch_layout.nb_channels,
                               codec_->frame_size * 2);
  if (queue_ == nullptr) return E_OUTOFMEMORY;
  input_ = input;
  // Conversion stays here, on the caller's thread: the resampler carries state from call to
  // call, and cutting its converted output into frames is what keeps the segments exact.
  const unsigned threads = CodingThreads();
  if (threads > 1 && EncodesInSegments(codec_->codec_id)) {
    std::vector<CodecContextHandle> encoders;
    for (unsigned i = 0; i < threads; ++i) {
      encoders.push_back(OpenEncoder(*codec_->codec, codec_->sample_rate,
                                     codec_->ch_layout.nb_channels, codec_->bit_rate));
      if (!encoders.back()) break;
    }
    // Without an encoder for every worker, or any worker, the frames are encoded here.
    if (encoders.size() == threads && encoders.back())
      segments_ = SegmentedEncoder::Start(std::move(encoders));
  }
  return QueueSilence(codec_->frame_size);
}

HRESULT AudioEncoder::QueueSilence(int frames) {
  const int channels = codec_->ch_layout.nb_channels;
  converted_.assign(static_cast<std::size_t>(frames) * channels, 0.0f);
  planes_.resize(channels);
  for (int c = 0; c < channels; ++c)
    planes_[c] =
        reinterpret_cast<uint8_t*>(converted_.data() + static_cast<std::size_t>(c) * frames);
  if (av_audio_fifo_write(queue_, reinterpret_cast<void**>(planes_.data()), frames) < frames)
    return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT AudioEncoder::WriteBytes(const BYTE* bytes, std::size_t count, PacketSink& sink) {
  if (!converter_) return NS_E_INVALID_REQUEST;
  const std::size_t frameBytes = input_.FrameBytes();
  // Complete a sample frame left over from the call before.
  if (!carry_.empty()) {
    const std::size_t taken = std::min(frameBytes - carry_.size(), count);
    carry_.insert(carry_.end(), bytes, bytes + taken);
    bytes += taken;
    count -= taken;
    if (carry_.size() < frameBytes) return S_OK;
    RETURN_IF_FAILED(Convert(carry_.data(), 1));
    carry_.clear();
  }
  const std::size_t frames = count / frameBytes;
  if (frames > 0) RETURN_IF_FAILED(Convert(bytes, frames));
  carry_.assign(bytes + frames * frameBytes, bytes + count);
  return EncodeQueued(sink, false);
}

HRESULT AudioEncoder::Convert(const BYTE* bytes, std::size_t frames) {
  const int channels = codec_->ch_layout.nb_channels;
  const BYTE* input = bytes;
  if (bytes != nullptr && input_.bits == 24) {
    // The converter takes no packed 24-bit samples: each goes to the top of 32 bits.
    const std::size_t samples = frames * input_.channels;
    widened_.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
      const BYTE* s = bytes + 3 * i;
      widened_[i] = static_cast<int32_t>(static_cast<uint32_t>(s[0]) << 8 |
                                         static_cast<uint32_t>(s[1]) << 16 |
                                         static_cast<uint32_t>(s[2]) << 24);
    }
    input = reinterpret_cast<const BYTE*>(widened_.data());
  }
  const int inputFrames = static_cast<int>(frames);
  const int capacity = swr_get_out_samples(converter_.get(), bytes != nullptr ? inputFrames : 0);
  if (capacity <= 0) return S_OK;
  converted_.resize(static_cast<std::size_t>(capacity) * channels);
  planes_.resize(channels);
  for (int c = 0; c < channels; ++c)
    planes_[c] =
        reinterpret_cast<uint8_t*>(converted_.data() + static_cast<std::size_t>(c) * capacity);
  const int made =
      swr_convert(converter_.get(), planes_.data(), capacity, bytes != nullptr ? &input : nullptr,
                  bytes != nullptr ? inputFrames : 0);
  if (made < 0) return AvFailure(made);
  if (bytes != nullptr) inputFrames_ += frames;
  convertedFrames_ += static_cast<QWORD>(made);
  if (made > 0 &&
      av_audio_fifo_write(queue_, reinterpret_cast<void**>(planes_.data()), made) < made)
    return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT AudioEncoder::EncodeQueued(PacketSink& sink, bool padLast) {
  const int frameSize = codec_->frame_size;
  if (padLast) {
    const int partial = av_audio_fifo_size(queue_) % frameSize;
    if (partial > 0) RETURN_IF_FAILED(QueueSilence(frameSize - partial));
  }
  while (av_audio_fifo_size(queue_) >= frameSize) {
    const int64_t pts = nextPts_;
    nextPts_ += frameSize;
    if (segments_) {
      RETURN_IF_FAILED(segments_->Add(*queue_, pts, sink));
      continue;
    }
    RETURN_IF_FAILED(DequeueFrame(*frame_));
    frame_->pts = pts;
    RETURN_IF_FAILED(EncodeFrame(*codec_, frame_.get(), *packet_, sink));
  }
  return S_OK;
}

HRESULT AudioEncoder::DequeueFrame(AVFrame& frame) {
  const int frameSize = codec_->frame_size;
  av_frame_unref(&frame);
  frame.nb_samples = frameSize;
  frame.format = codec_->sample_fmt;
  frame.sample_rate = codec_->sample_rate;
  if (av_channel_layout_copy(&frame.ch_layout, &codec_->ch_layout) < 0 ||
      av_frame_get_buffer(&frame, 0) < 0)
    return E_OUTOFMEMORY;
  if (av_audio_fifo_read(queue_, reinterpret_cast<void**>(frame.extended_data), frameSize) <
      frameSize)
    return E_FAIL;
  return S_OK;
}

HRESULT EncodeFrame(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                    PacketSink& sink) {
  if (const int sent = avcodec_send_frame(&codec, frame); sent < 0) return AvFailure(sent);
  for (;;) {
    const int received = avcodec_receive_packet(&codec, &packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return S_OK;
    if (received < 0) return AvFailure(received);
    const HRESULT written = sink.Write(packet);
    av_packet_unref(&packet);
    RETURN_IF_FAILED(written);
  }
}

HRESULT AudioEncoder::FinishCoding(PacketSink& sink) {
  if (!converter_) return NS_E_INVALID_REQUEST;
  carry_.clear();  // a partial sample frame at the very end cannot be played
  // A resampler gives back what it holds in steps of what it estimates: drained until a step
  // gives nothing.
  for (int queued = -1; queued != av_audio_fifo_size(queue_);) {
    queued = av_audio_fifo_size(queue_);
    RETURN_IF_FAILED(Convert(nullptr, 0));
  }
  // An input shorter than the resampler's filter gives nothing back at all: made up with
  // silence to the length the header records, so that the file holds audio for it.
  const QWORD due =
      (inputFrames_ * static_cast<QWORD>(codec_->sample_rate) + input_.rate - 1) / input_.rate;
  if (convertedFrames_ < due)
    RETURN_IF_FAILED(QueueSilence(static_cast<int>(due - convertedFrames_)));
  RETURN_IF_FAILED(EncodeQueued(sink, true));
  if (segments_) return segments_->Finish(sink);
  return EncodeFrame(*codec_, nullptr, *packet_, sink);
}

}  // namespace wmvcore
