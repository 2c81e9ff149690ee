#include "pipeline/audio_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>

extern "C" {
#include <libavutil/opt.h>
}

#include "base/result_codes.h"
#include "com/out_of_memory.h"
#include "common/speaker_positions.h"
#include "pipeline/segmented_encoder.h"
#include "pipeline/worker_pool.h"

namespace wmvcore {
namespace {

AVSampleFormat PlanarFormat(SampleLayout layout) {
  return layout == SampleLayout::kFloat ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S32P;
}

// The low-frequency channel's share in a downmix. Mixes for playback leave it out, but a save
// that dropped it would lose what only that channel holds; it goes in at the centre's level.
constexpr double kLowFrequencyMixLevel = 0.7071067811865476;

// The speakers of the input: those its media type named, or the usual ones for its count, never
// FFmpeg's own default (which takes a third channel for a low-frequency one).
bool InputLayout(const PcmFormat& input, AVChannelLayout& layout) {
  const DWORD mask = input.channelMask != 0 ? input.channelMask : UsualChannelMask(input.channels);
  const DWORD placed = LowestPositions(mask, input.channels);
  if (static_cast<unsigned>(std::popcount(placed)) != input.channels) return false;
  return av_channel_layout_from_mask(&layout, placed) == 0;
}

// A converter to `format` at the stream's rate and channels; a stream with fewer channels gets
// the standard downmix of the input's speakers.
ResamplerHandle MakeConverter(const PcmFormat& input, AVSampleFormat format, int rate,
                              int channels) {
  AVChannelLayout inputLayout{};
  AVChannelLayout outputLayout{};
  if (!InputLayout(input, inputLayout)) return nullptr;
  av_channel_layout_default(&outputLayout, channels);
  SwrContext* converter = nullptr;
  const int made = swr_alloc_set_opts2(&converter, &outputLayout, format, rate, &inputLayout,
                                       ConverterSampleFormat(input.bits),
                                       static_cast<int>(input.rate), 0, nullptr);
  av_channel_layout_uninit(&inputLayout);
  av_channel_layout_uninit(&outputLayout);
  ResamplerHandle handle(converter);
  if (made < 0 || av_opt_set_double(converter, "lfe_mix_level", kLowFrequencyMixLevel, 0) < 0 ||
      swr_init(converter) < 0)
    return nullptr;
  return handle;
}

}  // namespace

std::unique_ptr<AudioEncoder> AudioEncoder::Open(OpenStreamEncoder open, const WaveFormat& stream) {
  std::unique_ptr<StreamEncoder> encoder = open(stream);
  if (!encoder) return nullptr;
  // Out of memory here is no format it cannot encode: the exception goes to the caller's boundary.
  return std::unique_ptr<AudioEncoder>(new AudioEncoder(std::move(encoder)));
}

AudioEncoder::AudioEncoder(std::unique_ptr<StreamEncoder> encoder)
    : encoder_(std::move(encoder)), sampleFormat_(PlanarFormat(encoder_->shape().layout)) {}

AudioEncoder::~AudioEncoder() {
  if (queue_ != nullptr) av_audio_fifo_free(queue_);
}

bool AudioEncoder::CanConvert(const PcmFormat& input, const WaveFormat& stream) {
  return IsSupportedPcm(input) &&
         MakeConverter(input, AV_SAMPLE_FMT_FLTP, static_cast<int>(stream.samplesPerSec),
                       stream.channels) != nullptr;
}

HRESULT AudioEncoder::Begin(const PcmFormat& input) {
  return OutOfMemoryAsFailure([&] { return BeginCoding(input); });
}

HRESULT AudioEncoder::Write(const BYTE* bytes, std::size_t count, PayloadSink& sink) {
  return OutOfMemoryAsFailure([&] { return WriteBytes(bytes, count, sink); });
}

HRESULT AudioEncoder::Finish(PayloadSink& sink) {
  return OutOfMemoryAsFailure([&] { return FinishCoding(sink); });
}

HRESULT AudioEncoder::BeginCoding(const PcmFormat& input) {
  if (!IsSupportedPcm(input)) return NS_E_INVALID_INPUT_FORMAT;
  const EncoderShape& shape = encoder_->shape();
  converter_ = MakeConverter(input, sampleFormat_, static_cast<int>(shape.format.samplesPerSec),
                             shape.format.channels);
  if (!converter_) return NS_E_INVALID_INPUT_FORMAT;
  queue_ = av_audio_fifo_alloc(sampleFormat_, shape.format.channels, shape.frameSamples * 2);
  if (queue_ == nullptr) return E_OUTOFMEMORY;
  input_ = input;
  // Conversion stays here, on the caller's thread: the resampler carries state from call to
  // call, and cutting its converted output into frames is what keeps the segments exact.
  segments_ = SegmentedEncoder::Start(*encoder_, CodingThreads());
  if (!segments_) return E_OUTOFMEMORY;
  RETURN_IF_FAILED(encoder_->NewPacker(packer_));
  return QueueSilence(shape.frameSamples * shape.leadingFrames);
}

void AudioEncoder::PointPlanes(int frames) {
  const int channels = encoder_->shape().format.channels;
  planes_.resize(channels);
  for (int c = 0; c < channels; ++c)
    planes_[c] =
        reinterpret_cast<uint8_t*>(converted_.data() + static_cast<std::size_t>(c) * frames);
}

HRESULT AudioEncoder::QueueSilence(int frames) {
  if (frames <= 0) return S_OK;
  // Zero bits are silence in both layouts.
  converted_.assign(static_cast<std::size_t>(frames) * encoder_->shape().format.channels, 0);
  PointPlanes(frames);
  if (av_audio_fifo_write(queue_, reinterpret_cast<void**>(planes_.data()), frames) < frames)
    return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT AudioEncoder::WriteBytes(const BYTE* bytes, std::size_t count, PayloadSink& sink) {
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
  const int channels = encoder_->shape().format.channels;
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
  PointPlanes(capacity);
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

HRESULT AudioEncoder::EncodeQueued(PayloadSink& given, bool padLast) {
  const int frameSize = encoder_->shape().frameSamples;
  int filling = 0;
  if (padLast) {
    const int partial = av_audio_fifo_size(queue_) % frameSize;
    if (partial > 0) {
      filling = frameSize - partial;
      RETURN_IF_FAILED(QueueSilence(filling));
    }
  }
  std::optional<PackingSink> packing;
  if (packer_) packing.emplace(*packer_, given);
  PayloadSink& sink = packing ? static_cast<PayloadSink&>(*packing) : given;
  while (av_audio_fifo_size(queue_) >= frameSize) {
    const bool last = av_audio_fifo_size(queue_) < 2 * frameSize;
    RETURN_IF_FAILED(segments_->Add(*queue_, sink, last ? filling : 0));
  }
  return S_OK;
}

HRESULT AudioEncoder::FinishCoding(PayloadSink& sink) {
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
  const QWORD rate = encoder_->shape().format.samplesPerSec;
  const QWORD due = (inputFrames_ * rate + input_.rate - 1) / input_.rate;
  if (convertedFrames_ < due)
    RETURN_IF_FAILED(QueueSilence(static_cast<int>(due - convertedFrames_)));
  RETURN_IF_FAILED(EncodeQueued(sink, true));
  if (!packer_) return segments_->Finish(sink);
  PackingSink packing(*packer_, sink);
  RETURN_IF_FAILED(segments_->Finish(packing));
  return packer_->Finish(sink);
}

}  // namespace wmvcore
