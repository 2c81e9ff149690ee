#include "codecs/lossless/lossless_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <new>
#include <vector>

#include "base/result.h"
#include "base/settings.h"
#include "codecs/lossless/decode_check.h"
#include "codecs/lossless/encoder.h"
#include "codecs/lossless/frame_coder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/shared/packetizer.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace wmvcore {
namespace {

namespace ll = lossless;

// Collects a segment's packets for its check.
class CheckedPackets final : public PacketOut {
 public:
  explicit CheckedPackets(ll::DecodeCheck& check) : check_(check) {}
  bool Put(const std::vector<uint8_t>& packet) override { return check_.Check(packet); }

 private:
  ll::DecodeCheck& check_;
};

class LosslessCoder final : public SegmentCoder {
 public:
  LosslessCoder(const ll::StreamFormat& format, bool check)
      : format_(format), coder_(ll::FrameCoder::Create(format)), check_(check) {}

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
    if (check_) RETURN_IF_FAILED(Check(length));
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
  // Decodes the segment's frames alone, laid into packets of their own, and compares.
  HRESULT Check(std::size_t length) {
    std::unique_ptr<ll::DecodeCheck> check = ll::DecodeCheck::Open(format_);
    if (!check) return E_FAIL;
    const auto channels = static_cast<std::size_t>(format_.channels);
    interleaved_.resize(length * channels);
    for (std::size_t i = 0; i < length; ++i)
      for (std::size_t c = 0; c < channels; ++c) interleaved_[i * channels + c] = planar_[c][i];
    check->Expect(interleaved_.data(), length);
    Packetizer packets(ll::PacketLayoutOf(format_));
    CheckedPackets out(*check);
    for (const ll::CodedFrame& frame : frames_)
      if (!packets.Add(frame.bits.bytes().data(), frame.bits.bits(), frame.seekable, out))
        return E_FAIL;
    if (!packets.Finish(out) || !check->Finish()) return E_FAIL;
    return S_OK;
  }

  ll::StreamFormat format_;
  std::unique_ptr<ll::FrameCoder> coder_;
  bool check_;
  std::vector<std::vector<int32_t>> planar_;
  std::vector<const int32_t*> planes_;
  std::vector<ll::CodedFrame> frames_;
  std::vector<int32_t> interleaved_;
};

// Takes the coded frames in order and writes the stream's packets, each stamped with the first
// sample of the frames it ends and lasting as long as they do.
class LosslessPacker final : public PayloadPacker {
 public:
  explicit LosslessPacker(const ll::StreamFormat& format)
      : rate_(format.sampleRate), packets_(ll::PacketLayoutOf(format)) {}

  HRESULT Add(const Payload& coded, PayloadSink& sink) override {
    if (coded.bits == 0 || (coded.bits + 7) / 8 != coded.size) return E_UNEXPECTED;
    durations_.push_back(coded.duration);
    Out out(*this, sink);
    if (!packets_.Add(coded.data, coded.bits, coded.seekable, out))
      return FAILED(out.result) ? out.result : E_FAIL;
    return S_OK;
  }
  HRESULT Finish(PayloadSink& sink) override {
    Out out(*this, sink);
    if (!packets_.Finish(out)) return FAILED(out.result) ? out.result : E_FAIL;
    return S_OK;
  }

 private:
  class Out final : public PacketOut {
   public:
    Out(LosslessPacker& packer, PayloadSink& sink) : packer_(packer), sink_(sink) {}
    bool Put(const std::vector<uint8_t>& packet) override {
      int64_t duration = 0;
      for (uint64_t done = packer_.packets_.framesDone(); packer_.framesStamped_ < done;
           ++packer_.framesStamped_) {
        duration += packer_.durations_.front();
        packer_.durations_.pop_front();
      }
      result = sink_.Write(
          Payload{packet.data(), packet.size(), packer_.StampOf(packer_.pts_), duration});
      packer_.pts_ += duration;
      return SUCCEEDED(result);
    }
    HRESULT result = S_OK;

   private:
    LosslessPacker& packer_;
    PayloadSink& sink_;
  };

  // The first sample whose time, in the whole milliseconds that the file's payloads carry, is
  // that of `sample` rounded down: a reader that cuts the decode at the file's duration by
  // these times (Wine's does) then never finds the last samples past the end.
  int64_t StampOf(int64_t sample) const {
    const int64_t milliseconds = sample * 1000 / rate_;
    return (milliseconds * rate_ + 999) / 1000;
  }

  int64_t rate_;
  Packetizer packets_;
  std::deque<int64_t> durations_;  // of the frames not yet ended in a packet
  uint64_t framesStamped_ = 0;
  int64_t pts_ = 0;
};

class LosslessEncoder final : public StreamEncoder {
 public:
  LosslessEncoder(const ll::StreamFormat& format, EncoderShape shape)
      : format_(format), shape_(std::move(shape)), check_(settings::LosslessCheckAsked()) {}
  const EncoderShape& shape() const override { return shape_; }
  std::unique_ptr<SegmentCoder> NewCoder() const override {
    return std::unique_ptr<SegmentCoder>(new (std::nothrow) LosslessCoder(format_, check_));
  }
  HRESULT NewPacker(std::unique_ptr<PayloadPacker>& packer) const override {
    packer.reset(new (std::nothrow) LosslessPacker(format_));
    return packer ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ll::StreamFormat format_;
  EncoderShape shape_;
  bool check_;
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
  return std::unique_ptr<StreamEncoder>(new (std::nothrow) LosslessEncoder(format, shape));
}

}  // namespace wmvcore
