#include "audio_stream_decoder.h"

#include <new>

#include "sample_buffer.h"
#include "segmented_decoder.h"
#include "worker_pool.h"

namespace wmvcore {
namespace {

constexpr QWORD kUnitsPerSecond = 10'000'000;

// Bytes per sample as converted, before 24-bit samples are packed.
int ConvertedBytes(WORD bits) { return bits == 24 ? 4 : bits / 8; }

// Packs 32-bit samples in place to their top three bytes: an arithmetic shift right by 8,
// stored little-endian. Writing sample i at 3i never overtakes the read of sample i at 4i.
void PackTo24Bits(BYTE* data, std::size_t samples) {
  for (std::size_t i = 0; i < samples; ++i) {
    const BYTE* wide = data + 4 * i;
    BYTE* packed = data + 3 * i;
    const BYTE b1 = wide[1], b2 = wide[2], b3 = wide[3];
    packed[0] = b1;
    packed[1] = b2;
    packed[2] = b3;
  }
}

}  // namespace

std::unique_ptr<AudioStreamDecoder> AudioStreamDecoder::Open(const AVStream& stream) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  CodecContextHandle context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) return nullptr;
  context->pkt_timebase = stream.time_base;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  std::unique_ptr<AudioStreamDecoder> decoder(new (std::nothrow)
                                                  AudioStreamDecoder(std::move(context)));
  if (!decoder || !decoder->frame_) return nullptr;
  decoder->format_ = decoder->NativeFormat(false);
  return decoder;
}

AudioStreamDecoder::AudioStreamDecoder(CodecContextHandle codec)
    : codec_(std::move(codec)),
      streamRate_(codec_->sample_rate),
      streamChannels_(codec_->ch_layout.nb_channels),
      codedBits_(codec_->bits_per_coded_sample) {}

AudioStreamDecoder::~AudioStreamDecoder() {
  ahead_.reset();  // its workers end before the decoder they use
  av_channel_layout_uninit(&converterInputLayout_);
}

PcmFormat AudioStreamDecoder::NativeFormat(bool discrete) const {
  PcmFormat format;
  format.rate = static_cast<DWORD>(streamRate_);
  format.channels = static_cast<WORD>(discrete || streamChannels_ <= 2 ? streamChannels_ : 2);
  // The stream's WAVEFORMATEX wBitsPerSample is what the demuxer keeps as the coded width.
  format.bits = codedBits_ > 16 ? 24 : 16;
  return format;
}

bool AudioStreamDecoder::CanDeliver(const PcmFormat& format) {
  const bool bitsOk = format.bits == 8 || format.bits == 16 || format.bits == 24;
  return bitsOk && format.channels >= 1 && format.channels <= 8 && format.rate >= 1000 &&
         format.rate <= 384000;
}

void AudioStreamDecoder::SetFormat(const PcmFormat& format) { format_ = format; }

void AudioStreamDecoder::Send(AVPacket* packet) {
  if (endSent_) return;
  if (packet == nullptr) endSent_ = true;
  // Workers start with the first packet, not at the open: a file opened only to be probed
  // never starts one.
  if (!started_) {
    started_ = true;
    const unsigned threads = CodingThreads();
    if (threads > 1) ahead_ = SegmentedDecoder::Start(*codec_, threads);
  }
  if (ahead_) return ahead_->Send(packet);
  // A damaged packet is refused with an error and simply not decoded.
  avcodec_send_packet(codec_.get(), packet);
}

HRESULT AudioStreamDecoder::NextFrame() {
  if (ahead_) return ahead_->Receive(*frame_);
  const int received = avcodec_receive_frame(codec_.get(), frame_.get());
  if (received == AVERROR(EAGAIN)) return S_FALSE;
  if (received == AVERROR_EOF || (received < 0 && endSent_)) return NS_E_NO_MORE_SAMPLES;
  if (received < 0) return S_FALSE;  // a frame that did not decode: go on with the next packet
  return S_OK;
}

HRESULT AudioStreamDecoder::Receive(DecodedSample& sample) {
  for (;;) {
    const HRESULT next = NextFrame();
    if (next == NS_E_NO_MORE_SAMPLES) {
      if (converterFlushed_ || !converter_) return NS_E_NO_MORE_SAMPLES;
      converterFlushed_ = true;
      const HRESULT flushed = Convert(nullptr, sample);
      return flushed == S_FALSE ? NS_E_NO_MORE_SAMPLES : flushed;
    }
    if (next != S_OK) return next;
    const HRESULT converted = Convert(frame_.get(), sample);
    av_frame_unref(frame_.get());
    if (converted != S_FALSE) return converted;
  }
}

bool AudioStreamDecoder::ConfigureConverter(const AVFrame& frame) {
  const AVSampleFormat inputFormat = static_cast<AVSampleFormat>(frame.format);
  if (converter_ && inputFormat == converterInputFormat_ &&
      frame.sample_rate == converterInputRate_ &&
      av_channel_layout_compare(&frame.ch_layout, &converterInputLayout_) == 0 &&
      format_ == converterOutput_)
    return true;

  AVChannelLayout inputLayout = UsableLayout(frame.ch_layout);
  AVChannelLayout outputLayout{};
  if (format_.channels == inputLayout.nb_channels)
    av_channel_layout_copy(&outputLayout, &inputLayout);
  else
    av_channel_layout_default(&outputLayout, format_.channels);
  SwrContext* converter = nullptr;
  const int allocated = swr_alloc_set_opts2(
      &converter, &outputLayout, ConverterSampleFormat(format_.bits),
      static_cast<int>(format_.rate), &inputLayout, inputFormat, frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inputLayout);
  av_channel_layout_uninit(&outputLayout);
  ResamplerHandle handle(converter);
  if (allocated < 0 || swr_init(converter) < 0) return false;

  converter_ = std::move(handle);
  converterInputFormat_ = inputFormat;
  converterInputRate_ = frame.sample_rate;
  av_channel_layout_uninit(&converterInputLayout_);
  av_channel_layout_copy(&converterInputLayout_, &frame.ch_layout);
  converterOutput_ = format_;
  return true;
}

HRESULT AudioStreamDecoder::Convert(const AVFrame* frame, DecodedSample& sample) {
  if (frame != nullptr && !ConfigureConverter(*frame)) return S_FALSE;  // cannot convert: skip
  const int inputSamples = frame != nullptr ? frame->nb_samples : 0;
  const int capacity = swr_get_out_samples(converter_.get(), inputSamples);
  if (capacity <= 0) return S_FALSE;

  const std::size_t frameBytes =
      static_cast<std::size_t>(ConvertedBytes(format_.bits)) * format_.channels;
  ComPtr<SampleBuffer> buffer = ComPtr<SampleBuffer>::Adopt(
      SampleBuffer::Create(static_cast<DWORD>(frameBytes * capacity), 0));
  if (!buffer) return E_OUTOFMEMORY;

  uint8_t* output = buffer->data();
  const int converted =
      frame != nullptr
          ? swr_convert(converter_.get(), &output, capacity,
                        const_cast<const uint8_t**>(frame->extended_data), inputSamples)
          : swr_convert(converter_.get(), &output, capacity, nullptr, 0);
  if (converted <= 0) return S_FALSE;

  const std::size_t samples = static_cast<std::size_t>(converted) * format_.channels;
  if (format_.bits == 24) PackTo24Bits(buffer->data(), samples);
  buffer->SetLength(static_cast<DWORD>(samples * (format_.bits / 8)));

  const QWORD start = samplesDelivered_ * kUnitsPerSecond / format_.rate;
  samplesDelivered_ += static_cast<QWORD>(converted);
  sample.time = start;
  sample.duration = samplesDelivered_ * kUnitsPerSecond / format_.rate - start;
  sample.buffer = ComPtr<INSSBuffer>::Adopt(buffer.detach());
  return S_OK;
}

}  // namespace wmvcore
