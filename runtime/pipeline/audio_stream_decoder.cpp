#include "pipeline/audio_stream_decoder.h"

#include <new>
#include <utility>

#include "base/result_codes.h"
#include "com/sample_buffer.h"
#include "common/media_time.h"
#include "ffmpeg/codec_contexts.h"
#include "pipeline/segmented_decoder.h"
#include "pipeline/worker_pool.h"

namespace wmvcore {
namespace {

// The sample frame nearest to `units` at `rate`, without overflow for any length. Nearest, not
// below: a length recorded as whole frames truncated to 100 ns units rounds back to them.
QWORD FramesIn(QWORD units, DWORD rate) {
  return units / kUnitsPerSecond * rate +
         (units % kUnitsPerSecond * rate + kUnitsPerSecond / 2) / kUnitsPerSecond;
}

}  // namespace

std::unique_ptr<AudioStreamDecoder> AudioStreamDecoder::Open(const AVStream& stream, QWORD length) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  CodecContextHandle context = OpenDecoder(*codec, *stream.codecpar, stream.time_base);
  if (!context) return nullptr;
  // Out of memory here is no stream without a decoder: the exception goes to the reader's
  // boundary.
  std::unique_ptr<AudioStreamDecoder> decoder(new AudioStreamDecoder(std::move(context)));
  if (!decoder || !decoder->frame_) return nullptr;
  decoder->format_ = decoder->NativeFormat(false);
  decoder->length_ = length;
  return decoder;
}

AudioStreamDecoder::AudioStreamDecoder(CodecContextHandle codec)
    : codec_(std::move(codec)),
      streamRate_(codec_->sample_rate),
      streamChannels_(codec_->ch_layout.nb_channels),
      codedBits_(codec_->bits_per_coded_sample) {}

AudioStreamDecoder::~AudioStreamDecoder() = default;

PcmFormat AudioStreamDecoder::NativeFormat(bool discrete) const {
  PcmFormat format;
  format.rate = static_cast<DWORD>(streamRate_);
  format.channels = static_cast<WORD>(discrete || streamChannels_ <= 2 ? streamChannels_ : 2);
  // The stream's WAVEFORMATEX wBitsPerSample is what the demuxer keeps as the coded width.
  format.bits = codedBits_ > 16 ? 24 : 16;
  return format;
}

void AudioStreamDecoder::SetFormat(const PcmFormat& format) {
  format_ = format;
  if (ahead_) ahead_->SetFormat(format);
}

void AudioStreamDecoder::Send(AVPacket* packet) {
  if (endSent_) return;
  if (packet == nullptr) endSent_ = true;
  // Workers start with the first packet, not at the open: a file opened only to be probed
  // never starts one.
  if (!started_) {
    started_ = true;
    const unsigned threads = CodingThreads();
    if (threads > 1) ahead_ = SegmentedDecoder::Start(codec_, threads, format_);
  }
  if (ahead_) return ahead_->Send(packet);
  // A damaged packet is refused with an error and simply not decoded; memory is no damage.
  if (avcodec_send_packet(codec_.get(), packet) == AVERROR(ENOMEM)) outOfMemory_ = true;
}

HRESULT AudioStreamDecoder::NextFrame(ComPtr<SampleBuffer>& converted) {
  if (ahead_) return ahead_->Receive(format_, *frame_, converted);
  if (outOfMemory_) return E_OUTOFMEMORY;
  const int received = avcodec_receive_frame(codec_.get(), frame_.get());
  if (received == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
  if (received == AVERROR(EAGAIN)) return S_FALSE;
  if (received == AVERROR_EOF || (received < 0 && endSent_)) return NS_E_NO_MORE_SAMPLES;
  if (received < 0) return S_FALSE;  // a frame that did not decode: go on with the next packet
  return S_OK;
}

HRESULT AudioStreamDecoder::Receive(DecodedSample& sample) {
  for (;;) {
    DecodedSample made;
    const HRESULT result = Produce(made);
    if (!held_.buffer) {
      if (result == S_OK && EndsInside(made)) {
        held_ = std::move(made);
        continue;
      }
      if (result == S_OK) sample = std::move(made);
      return result;
    }
    if (result == S_FALSE || (FAILED(result) && result != NS_E_NO_MORE_SAMPLES)) return result;
    // Another frame, or what the converter held after the final one: it lies wholly past the
    // header's end (silence an encoder codes after a short input, say), and goes.
    if (result == S_OK) continue;
    if (cutBytes_ == 0) {
      // The end falls at the final sample's first frame: all of it lies past the end.
      held_ = DecodedSample{};
      return NS_E_NO_MORE_SAMPLES;
    }
    held_.buffer->SetLength(cutBytes_);
    held_.duration = cutDuration_;
    sample = std::move(held_);
    return S_OK;
  }
}

// The audio ends at the header's length, inside a frame or at its start (then none of it
// goes out), and every frame after it goes: a file whose header promises more than it holds
// (cut short) keeps all it has.
bool AudioStreamDecoder::EndsInside(const DecodedSample& sample) {
  if (length_ == 0) return false;
  DWORD bytes = 0;
  sample.buffer->GetLength(&bytes);
  const QWORD end = FramesIn(length_, format_.rate);
  const QWORD start = samplesDelivered_ - bytes / format_.FrameBytes();
  if (end < start || end >= samplesDelivered_) return false;
  cutBytes_ = static_cast<DWORD>((end - start) * format_.FrameBytes());
  cutDuration_ = end * kUnitsPerSecond / format_.rate - sample.time;
  return true;
}

HRESULT AudioStreamDecoder::Produce(DecodedSample& sample) {
  for (;;) {
    ComPtr<SampleBuffer> converted;
    const HRESULT next = NextFrame(converted);
    if (next == NS_E_NO_MORE_SAMPLES) {
      if (converterFlushed_ || !converter_.configured()) return NS_E_NO_MORE_SAMPLES;
      converterFlushed_ = true;
      const HRESULT flushed = Convert(nullptr, sample);
      return flushed == S_FALSE ? NS_E_NO_MORE_SAMPLES : flushed;
    }
    if (next != S_OK) return next;
    const HRESULT made =
        converted ? Deliver(*frame_, std::move(converted), sample) : Convert(frame_.get(), sample);
    av_frame_unref(frame_.get());
    if (made != S_FALSE) return made;
  }
}

HRESULT AudioStreamDecoder::Convert(const AVFrame* frame, DecodedSample& sample) {
  if (frame != nullptr && !converter_.Configure(*frame, format_)) return S_FALSE;  // skip it
  ComPtr<SampleBuffer> buffer;
  const HRESULT made = converter_.Convert(frame, buffer);
  if (made == S_OK) Stamp(std::move(buffer), sample);
  return made;
}

HRESULT AudioStreamDecoder::Deliver(const AVFrame& frame, ComPtr<SampleBuffer> converted,
                                    DecodedSample& sample) {
  // The converter is set up as if it had converted the frame itself: a worker converts only
  // where nothing is carried from frame to frame, so it is then as one decoder leaves it.
  if (!converter_.Configure(frame, format_)) return S_FALSE;
  Stamp(std::move(converted), sample);
  return S_OK;
}

void AudioStreamDecoder::Stamp(ComPtr<SampleBuffer> buffer, DecodedSample& sample) {
  const QWORD samples = buffer->length() / format_.FrameBytes();
  const QWORD start = samplesDelivered_ * kUnitsPerSecond / format_.rate;
  samplesDelivered_ += samples;
  sample.time = start;
  sample.duration = samplesDelivered_ * kUnitsPerSecond / format_.rate - start;
  sample.buffer = ComPtr<INSSBuffer>::Adopt(buffer.detach());
}

}  // namespace wmvcore
