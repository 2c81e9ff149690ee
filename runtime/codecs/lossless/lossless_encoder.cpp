#include "codecs/lossless/lossless_encoder.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "base/failure_trace.h"
#include "base/result.h"
#include "base/settings.h"
#include "codecs/lossless/decode_check.h"
#include "codecs/lossless/frame_coder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/shared/packetizer.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace wmvcore {
namespace {

namespace ll = lossless;

// What the check compares the decoded packets with: each segment's input, interleaved, left by
// the coder that codes it (on any thread) and taken by the packer when the segment's first
// frame reaches it (on the caller's thread). The one thing the coders share, and only with the
// check on; it holds no more segments than are in flight.
class CheckInputs {
 public:
  void Leave(int64_t firstPts, std::vector<int32_t> samples) {
    const std::lock_guard lock(mutex_);
    inputs_[firstPts] = std::move(samples);
  }
  // The input of the segment that starts at `firstPts`; empty when no coder left one.
  std::vector<int32_t> Take(int64_t firstPts) {
    const std::lock_guard lock(mutex_);
    const auto found = inputs_.find(firstPts);
    if (found == inputs_.end()) return {};
    std::vector<int32_t> samples = std::move(found->second);
    inputs_.erase(found);
    return samples;
  }

 private:
  std::mutex mutex_;
  std::map<int64_t, std::vector<int32_t>> inputs_;
};

class LosslessCoder final : public SegmentCoder {
 public:
  LosslessCoder(const ll::StreamFormat& format, std::shared_ptr<CheckInputs> check)
      : format_(format), coder_(ll::FrameCoder::Create(format)), check_(std::move(check)) {}

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    const int frameSamples = audio.frameSamples();
    const std::size_t length = audio.coded * static_cast<std::size_t>(frameSamples) - audio.filling;
    const int shift = 32 - format_.bitsPerSample;
    planar_.resize(static_cast<std::size_t>(format_.channels));
    planes_.resize(planar_.size());
    for (int c = 0; c < format_.channels; ++c) {
      auto& channel = planar_[static_cast<std::size_t>(c)];
      channel.resize(audio.coded * static_cast<std::size_t>(frameSamples));
      for (std::size_t k = 0; k < audio.coded; ++k) {
        const int32_t* samples = audio.Int32(audio.priming + k, c);
        for (int i = 0; i < frameSamples; ++i)
          channel[k * static_cast<std::size_t>(frameSamples) + static_cast<std::size_t>(i)] =
              samples[i] >> shift;
      }
      planes_[static_cast<std::size_t>(c)] = channel.data();
    }
    coder_->CodeSegment(planes_.data(), static_cast<int>(length), frames_);
    if (check_) check_->Leave(audio.firstPts, Interleaved(length));
    int64_t pts = audio.firstPts;
    for (std::size_t k = 0; k < frames_.size(); ++k) {
      const ll::CodedFrame& frame = frames_[k];
      const bool last = k + 1 == frames_.size();
      const int64_t duration = frameSamples - (last ? static_cast<int64_t>(audio.filling) : 0);
      RETURN_IF_FAILED(sink.Write(Payload{frame.bits.bytes().data(), frame.bits.bytes().size(), pts,
                                          duration, frame.bits.bits(), frame.seekable}));
      pts += frameSamples;
    }
    return S_OK;
  }

 private:
  std::vector<int32_t> Interleaved(std::size_t length) const {
    const auto channels = static_cast<std::size_t>(format_.channels);
    std::vector<int32_t> samples(length * channels);
    for (std::size_t i = 0; i < length; ++i)
      for (std::size_t c = 0; c < channels; ++c) samples[i * channels + c] = planar_[c][i];
    return samples;
  }

  ll::StreamFormat format_;
  std::unique_ptr<ll::FrameCoder> coder_;
  std::shared_ptr<CheckInputs> check_;  // null: no check
  std::vector<std::vector<int32_t>> planar_;
  std::vector<const int32_t*> planes_;
  std::vector<ll::CodedFrame> frames_;
};

// Takes the coded frames in order and writes the stream's packets, each stamped with the first
// sample of the frames it ends and lasting as long as they do. With the check, each packet is
// decoded again before it is written.
class LosslessPacker final : public PayloadPacker, private PacketOut {
 public:
  LosslessPacker(const ll::StreamFormat& format, std::shared_ptr<CheckInputs> inputs,
                 std::unique_ptr<ll::DecodeCheck> check)
      : rate_(format.sampleRate),
        channels_(static_cast<std::size_t>(format.channels)),
        packets_(ll::PacketLayoutOf(format)),
        inputs_(std::move(inputs)),
        check_(std::move(check)) {}

  HRESULT Add(const Payload& coded, PayloadSink& sink) override {
    if (coded.bits == 0 || (coded.bits + 7) / 8 != coded.size) return E_UNEXPECTED;
    if (check_ && coded.seekable) {
      const std::vector<int32_t> input = inputs_->Take(coded.pts);
      check_->Expect(input.data(), input.size() / channels_);
    }
    durations_.push_back(coded.duration);
    sink_ = &sink;
    if (!packets_.Add(coded.data, coded.bits, coded.seekable, *this)) return Failure();
    return S_OK;
  }
  HRESULT Finish(PayloadSink& sink) override {
    sink_ = &sink;
    if (!packets_.Finish(*this)) return Failure();
    if (check_ && !check_->Finish()) return CheckFailure();
    return S_OK;
  }

 private:
  bool Put(const std::vector<uint8_t>& packet) override {
    if (check_ && !check_->Check(packet)) {
      result_ = CheckFailure();
      return false;
    }
    int64_t duration = 0;
    for (const uint64_t done = packets_.framesDone(); framesStamped_ < done; ++framesStamped_) {
      duration += durations_.front();
      durations_.pop_front();
    }
    result_ = sink_->Write(Payload{packet.data(), packet.size(), StampOf(pts_), duration});
    pts_ += duration;
    return SUCCEEDED(result_);
  }
  HRESULT Failure() {
    const HRESULT result = FAILED(result_) ? result_ : E_FAIL;
    result_ = S_OK;
    return result;
  }
  // The check's finding, in the failure trace.
  HRESULT CheckFailure() const {
    failure_trace::Write(E_FAIL, __FILE__, __LINE__, check_->failure().c_str());
    return E_FAIL;
  }

  // The first sample whose time, in the whole milliseconds that the file's payloads carry, is
  // that of `sample` rounded down: a reader that cuts the decode at the file's duration by
  // these times (Wine's does) then never finds the last samples past the end.
  int64_t StampOf(int64_t sample) const {
    const int64_t milliseconds = sample * 1000 / rate_;
    return (milliseconds * rate_ + 999) / 1000;
  }

  int64_t rate_;
  std::size_t channels_;
  Packetizer packets_;
  std::shared_ptr<CheckInputs> inputs_;
  std::unique_ptr<ll::DecodeCheck> check_;  // null: no check
  PayloadSink* sink_ = nullptr;             // the caller's, for the call in progress
  HRESULT result_ = S_OK;                   // of the last packet written
  std::deque<int64_t> durations_;           // of the frames not yet ended in a packet
  uint64_t framesStamped_ = 0;
  int64_t pts_ = 0;
};

class LosslessEncoder final : public StreamEncoder {
 public:
  LosslessEncoder(const ll::StreamFormat& format, EncoderShape shape, bool check)
      : format_(format),
        shape_(std::move(shape)),
        inputs_(check ? std::make_shared<CheckInputs>() : nullptr) {}
  const EncoderShape& shape() const override { return shape_; }
  std::unique_ptr<SegmentCoder> NewCoder() const override {
    return std::unique_ptr<SegmentCoder>(new (std::nothrow) LosslessCoder(format_, inputs_));
  }
  HRESULT NewPacker(std::unique_ptr<PayloadPacker>& packer) const override {
    std::unique_ptr<ll::DecodeCheck> check;
    if (inputs_) {
      check = ll::DecodeCheck::Open(format_);
      if (!check) return E_FAIL;
    }
    packer.reset(new (std::nothrow) LosslessPacker(format_, inputs_, std::move(check)));
    return packer ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ll::StreamFormat format_;
  EncoderShape shape_;
  std::shared_ptr<CheckInputs> inputs_;  // null: no check
};

// The speakers of a stream: those its codec data names, else the usual ones for its count.
uint32_t ChannelMask(const WaveFormat& stream) {
  if (stream.extra.size() >= 6) {
    const uint32_t named =
        static_cast<uint32_t>(stream.extra[2]) | static_cast<uint32_t>(stream.extra[3]) << 8 |
        static_cast<uint32_t>(stream.extra[4]) << 16 | static_cast<uint32_t>(stream.extra[5]) << 24;
    if (named != 0) return named;
  }
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, stream.channels);
  const uint32_t mask =
      layout.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<uint32_t>(layout.u.mask) : 0;
  av_channel_layout_uninit(&layout);
  return mask;
}

}  // namespace

std::unique_ptr<StreamEncoder> OpenLosslessEncoder(const WaveFormat& stream) {
  return OpenLosslessEncoder(stream, settings::LosslessCheckAsked());
}

std::unique_ptr<StreamEncoder> OpenLosslessEncoder(const WaveFormat& stream, bool check) {
  const ll::StreamFormat format{static_cast<int>(stream.samplesPerSec), stream.channels,
                                stream.bitsPerSample, ChannelMask(stream)};
  if (stream.formatTag != kLosslessTag || !ll::IsEncodable(format)) return nullptr;
  EncoderShape shape;
  shape.format = stream;
  shape.format.blockAlign = static_cast<WORD>(ll::PacketBytes(format));
  const auto data = ll::CodecData(format);
  shape.format.extra.assign(data.begin(), data.end());
  // Until the stream is written its true average is unknown: the catalogue's, or the PCM's.
  if (shape.format.avgBytesPerSec == 0)
    shape.format.avgBytesPerSec = stream.samplesPerSec * stream.channels * stream.bitsPerSample / 8;
  shape.layout = SampleLayout::kInt32;
  shape.packetPerPayload = true;  // a data packet for each codec packet, as Windows' files have
  shape.frameSamples = ll::SamplesPerFrame(format);
  shape.segmentFrames = ll::kFramesPerSegment;
  return std::unique_ptr<StreamEncoder>(new (std::nothrow) LosslessEncoder(format, shape, check));
}

HRESULT EncodeLossless(const StreamEncoder& encoder, const int32_t* interleaved, std::size_t frames,
                       PayloadSink& sink) {
  const EncoderShape& shape = encoder.shape();
  const auto channels = static_cast<std::size_t>(shape.format.channels);
  const int shift = 32 - shape.format.bitsPerSample;
  const auto frameSamples = static_cast<std::size_t>(shape.frameSamples);
  const std::size_t segmentSamples = frameSamples * static_cast<std::size_t>(shape.segmentFrames);
  const std::unique_ptr<SegmentCoder> coder = encoder.NewCoder();
  std::unique_ptr<PayloadPacker> packer;
  RETURN_IF_FAILED(encoder.NewPacker(packer));
  if (!coder) return E_OUTOFMEMORY;
  PackingSink packing(*packer, sink);
  std::vector<int32_t> planar;  // frame after frame, each its channels one after another
  for (std::size_t first = 0; first < frames; first += segmentSamples) {
    const std::size_t count = std::min(segmentSamples, frames - first);
    const std::size_t coded = (count + frameSamples - 1) / frameSamples;
    planar.assign(coded * channels * frameSamples, 0);
    for (std::size_t i = 0; i < count; ++i)
      for (std::size_t c = 0; c < channels; ++c)
        planar[(i / frameSamples * channels + c) * frameSamples + i % frameSamples] =
            static_cast<int32_t>(static_cast<uint32_t>(interleaved[(first + i) * channels + c])
                                 << shift);
    SegmentAudio audio(nullptr, planar.data(), shape.frameSamples, shape.format.channels);
    audio.coded = coded;
    audio.filling = coded * frameSamples - count;
    audio.firstPts = static_cast<int64_t>(first);
    RETURN_IF_FAILED(coder->Code(audio, packing));
  }
  return packer->Finish(sink);
}

}  // namespace wmvcore
