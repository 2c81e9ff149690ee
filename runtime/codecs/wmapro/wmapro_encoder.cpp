#include "codecs/wmapro/wmapro_encoder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <new>
#include <vector>

#include "base/result.h"
#include "base/settings.h"
#include "codecs/shared/packetizer.h"
#include "codecs/wmapro/bitstream.h"
#include "codecs/wmapro/decode_check.h"
#include "codecs/wmapro/frame_coder.h"
#include "codecs/wmapro/stream_format.h"

namespace wmvcore {
namespace {

using namespace wmapro;

// Frames a segment: each gets the same share of bits, and its frames spend them as they need.
constexpr int kSegmentFrames = 64;
// A frame's target against its share, however far its demand is from the segment's mean.
constexpr double kLeanest = 0.7;
constexpr double kRichest = 1.8;
// How much of what the frames so far saved or overspent the next frame gives back.
constexpr double kReservoirReturn = 0.25;
// A frame's most, in shares: what the length prefix can count is more, but a frame that large
// would leave the frames after it little.
constexpr double kMostShares = 3.0;

// The packet layer the codecs share: fixed-size packets, frames back to back behind their
// lengths. The decoder takes a new packet for the
// rest of the one before when a frame that started in it ends exactly at its end (it only
// looks for a packet's end after a frame it could not finish): such a frame is moved to the
// next packet, the rest of this one filled with zeros, a length of 0, after which the decoder
// reads no more of a packet. The coder keeps that rare (see SegmentBits).
class FramePlacer {
 public:
  explicit FramePlacer(const StreamFormat& format)
      : packets_(PacketLayoutOf(format)), dataBits_(PacketDataBits(PacketLayoutOf(format))) {}

  // Whether the frame of `bits` to come needs a filler ahead of it.
  bool NeedsFiller(uint64_t bits) const {
    const uint64_t start = position_ % dataBits_;
    return start > 0 && start + bits == dataBits_;
  }
  // Places a frame, with the filler ahead of it that it needs (the packets' one frame more).
  bool Add(const uint8_t* frame, uint64_t bits, bool seekable, PacketOut& out) {
    if (NeedsFiller(bits)) {
      const uint64_t left = dataBits_ - position_ % dataBits_;
      filler_.Clear();
      for (uint64_t done = 0; done < left; done += 32)
        filler_.Put(0, static_cast<int>(std::min<uint64_t>(left - done, 32)));
      if (!packets_.Add(filler_.bytes().data(), left, false, out)) return false;
      position_ += left;
    }
    position_ += bits;
    return packets_.Add(frame, bits, seekable, out);
  }
  bool Finish(PacketOut& out) { return packets_.Finish(out); }
  uint64_t framesDone() const { return packets_.framesDone(); }

 private:
  Packetizer packets_;
  uint64_t dataBits_;
  uint64_t position_ = 0;  // bits laid, from the stream's start
  BitWriter filler_;
};

// How the bits of a segment are shared out among its frames.
struct FrameBudget {
  double nominal = 0;   // bits a frame at the declared rate, less the packets' headers
  uint64_t most = 0;    // a frame's most
  uint64_t fewest = 0;  // what the emptiest frame takes
};

class ProCoder final : public SegmentCoder {
 public:
  ProCoder(const StreamFormat& format, const FrameBudget& budget, bool check)
      : format_(format),
        budget_(budget),
        check_(check),
        frameSamples_(FrameSamples(format)),
        coder_(FrameCoder::Create(format)) {
    for (auto& channel : buffer_) channel.resize(2 * static_cast<std::size_t>(frameSamples_));
  }
  bool ready() const { return coder_ != nullptr; }

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    const int n = frameSamples_;
    const uint64_t segmentBits = SegmentBits(audio);
    uint64_t spent = 0;
    double meanDemand = 0;
    frames_.resize(audio.coded);
    const float* planes[kMaxChannels] = {};
    for (int c = 0; c < format_.channels; ++c)
      planes[c] = buffer_[static_cast<std::size_t>(c)].data();
    for (std::size_t j = 0; j < audio.coded; ++j) {
      const std::size_t frame = audio.priming + j;
      const bool hasNext = frame + 1 < audio.priming + audio.coded + audio.lookahead;
      for (int c = 0; c < format_.channels; ++c) {
        auto& channel = buffer_[static_cast<std::size_t>(c)];
        std::copy_n(audio.Float(frame, c), n, channel.begin());
        if (hasNext)
          std::copy_n(audio.Float(frame + 1, c), n, channel.begin() + n);
        else
          std::fill(channel.begin() + n, channel.end(), 0.0f);
      }
      const double demand = std::max(coder_->Analyse(planes, n), 1.0);
      meanDemand = j == 0 ? demand : 0.9 * meanDemand + 0.1 * demand;
      // The reservoir: the frames after this one each keep at least the fewest bits, and the
      // segment's last frame takes all that is left.
      const std::size_t left = audio.coded - j - 1;
      const uint64_t remaining = segmentBits - std::min(spent, segmentBits);
      const uint64_t kept = left * budget_.fewest;
      const uint64_t allowance =
          std::min(budget_.most, remaining > kept ? remaining - kept : budget_.fewest);
      const double saved = static_cast<double>(remaining) - budget_.nominal * (left + 1);
      double target =
          budget_.nominal * std::clamp(std::sqrt(demand / meanDemand), kLeanest, kRichest) +
          kReservoirReturn * saved;
      if (left == 0) target = static_cast<double>(allowance);
      const auto bits = static_cast<uint64_t>(
          std::clamp(target, static_cast<double>(budget_.fewest), static_cast<double>(allowance)));
      const bool last = j + 1 == audio.coded;
      const int trim = last ? static_cast<int>(audio.filling) : 0;
      spent += coder_->Code(bits, left == 0 ? bits : 0, trim, frames_[j]);
    }
    if (check_) RETURN_IF_FAILED(Check());
    int64_t pts = audio.firstPts;
    for (std::size_t j = 0; j < audio.coded; ++j) {
      writer_.Clear();
      WriteFrame(format_, frames_[j], writer_);
      const bool last = j + 1 == audio.coded;
      const int64_t duration = n - (last ? static_cast<int64_t>(audio.filling) : 0);
      // Every frame's first block is as long as a frame, as a decoder starting afresh takes
      // the block before it to be: a decoder may start on any.
      RETURN_IF_FAILED(sink.Write(Payload{writer_.bytes().data(), writer_.bytes().size(), pts,
                                          duration, writer_.bits(), true}));
      pts += n;
    }
    return S_OK;
  }

 private:
  // The segment's share of bits: the stream's share up to its last frame less the share up to
  // its first, each rounded, so that consecutive segments' shares add up to the stream's. The
  // shares are one bit short of the stream's rate, so that where a segment's frames fill a
  // whole number of packets, its last frame does not end exactly at a packet's end.
  uint64_t SegmentBits(const SegmentAudio& audio) const {
    const int64_t first = audio.firstPts / frameSamples_;
    const auto upTo = [&](int64_t frames) {
      return std::llround(budget_.nominal * static_cast<double>(frames)) - (frames > 0 ? 1 : 0);
    };
    return static_cast<uint64_t>(upTo(first + static_cast<int64_t>(audio.coded)) - upTo(first));
  }

  // Decodes the segment's frames alone, laid into packets of their own, and compares the
  // output with the frames' reconstruction; a decoder starting on the segment drops its first
  // frame's output.
  HRESULT Check() {
    std::unique_ptr<DecodeCheck> check = DecodeCheck::Open(format_);
    std::unique_ptr<Reconstruction> reconstruction = Reconstruction::Create(format_);
    if (!check || !reconstruction) return E_FAIL;
    for (std::size_t j = 0; j < frames_.size(); ++j) {
      reconstruction->Add(frames_[j]);
      if (j == 0) continue;
      const float* output[kMaxChannels] = {};
      for (int c = 0; c < format_.channels; ++c) output[c] = reconstruction->Output(c);
      check->Expect(output, static_cast<std::size_t>(frameSamples_ - frames_[j].trimEnd));
    }
    FramePlacer packets(format_);
    Packets out(*check);
    for (const CodedFrame& frame : frames_) {
      writer_.Clear();
      WriteFrame(format_, frame, writer_);
      if (!packets.Add(writer_.bytes().data(), writer_.bits(), true, out)) return E_FAIL;
    }
    if (!packets.Finish(out) || !check->Finish()) return E_FAIL;
    return S_OK;
  }

  class Packets final : public PacketOut {
   public:
    explicit Packets(DecodeCheck& check) : check_(check) {}
    bool Put(const std::vector<uint8_t>& packet) override { return check_.Check(packet); }

   private:
    DecodeCheck& check_;
  };

  StreamFormat format_;
  FrameBudget budget_;
  bool check_;
  int frameSamples_;
  std::unique_ptr<FrameCoder> coder_;
  std::array<std::vector<float>, kMaxChannels> buffer_;  // a channel's frame and the next
  std::vector<CodedFrame> frames_;
  BitWriter writer_;
};

// Takes the coded frames in order and writes the stream's packets, each stamped with the first
// sample of the frames it ends and lasting as long as they do.
class ProPacker final : public PayloadPacker {
 public:
  explicit ProPacker(const StreamFormat& format) : packets_(format) {}

  HRESULT Add(const Payload& coded, PayloadSink& sink) override {
    if (coded.bits == 0 || (coded.bits + 7) / 8 != coded.size) return E_UNEXPECTED;
    Out out(*this, sink);
    // A filler ahead of the frame lasts no time.
    if (packets_.NeedsFiller(coded.bits)) durations_.push_back(0);
    durations_.push_back(coded.duration);
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
    Out(ProPacker& packer, PayloadSink& sink) : packer_(packer), sink_(sink) {}
    bool Put(const std::vector<uint8_t>& packet) override {
      int64_t duration = 0;
      for (uint64_t done = packer_.packets_.framesDone(); packer_.framesStamped_ < done;
           ++packer_.framesStamped_) {
        duration += packer_.durations_.front();
        packer_.durations_.pop_front();
      }
      result = sink_.Write(Payload{packet.data(), packet.size(), packer_.pts_, duration});
      packer_.pts_ += duration;
      return SUCCEEDED(result);
    }
    HRESULT result = S_OK;

   private:
    ProPacker& packer_;
    PayloadSink& sink_;
  };

  FramePlacer packets_;
  std::deque<int64_t> durations_;  // of the frames not yet ended in a packet
  uint64_t framesStamped_ = 0;
  int64_t pts_ = 0;
};

class ProEncoder final : public StreamEncoder {
 public:
  ProEncoder(const StreamFormat& format, EncoderShape shape, const FrameBudget& budget)
      : format_(format),
        shape_(std::move(shape)),
        budget_(budget),
        check_(settings::ProCheckAsked()) {}
  const EncoderShape& shape() const override { return shape_; }
  std::unique_ptr<SegmentCoder> NewCoder() const override {
    std::unique_ptr<ProCoder> coder(new (std::nothrow) ProCoder(format_, budget_, check_));
    if (!coder || !coder->ready()) return nullptr;
    return coder;
  }
  HRESULT NewPacker(std::unique_ptr<PayloadPacker>& packer) const override {
    packer.reset(new (std::nothrow) ProPacker(format_));
    return packer ? S_OK : E_OUTOFMEMORY;
  }

 private:
  StreamFormat format_;
  EncoderShape shape_;
  FrameBudget budget_;
  bool check_;
};

// The speakers of a stream of `channels`: front centre alone, or front left and right.
uint32_t ChannelMask(int channels) { return channels == 1 ? 0x4 : 0x3; }

}  // namespace

std::unique_ptr<StreamEncoder> OpenWmaProEncoder(const WaveFormat& stream) {
  if (stream.formatTag != kProfessionalTag || QualityOfRate(stream.avgBytesPerSec)) return nullptr;
  const StreamFormat format{static_cast<int>(stream.samplesPerSec), stream.channels,
                            stream.bitsPerSample == 24 ? 24 : 16, ChannelMask(stream.channels),
                            static_cast<int64_t>(stream.avgBytesPerSec) * 8};
  if (!IsEncodable(format)) return nullptr;
  const std::unique_ptr<FrameCoder> probe = FrameCoder::Create(format);
  if (!probe) return nullptr;
  EncoderShape shape;
  shape.format = stream;
  shape.format.bitsPerSample = static_cast<WORD>(format.bitsPerSample);
  shape.format.blockAlign = static_cast<WORD>(PacketBytes(format));
  const auto data = CodecData(format);
  shape.format.extra.assign(data.begin(), data.end());
  shape.layout = SampleLayout::kFloat;
  shape.frameSamples = FrameSamples(format);
  // The decoder drops the first frame it makes, and a frame's block reaches into the next
  // frame: one frame of silence ahead of the input puts the input's start at the start of what
  // it keeps, and the last frame tells the decoder to drop what only fills it.
  shape.leadingFrames = 1;
  shape.primingFrames = 1;  // the block before a segment's first shapes its window
  shape.lookaheadFrames = 1;
  shape.segmentFrames = kSegmentFrames;
  shape.packetPerPayload = true;
  FrameBudget budget;
  const double packetBits = PacketBytes(format) * 8.0;
  const double frameBits =
      static_cast<double>(format.bitRate) * shape.frameSamples / format.sampleRate;
  budget.nominal =
      frameBits * static_cast<double>(PacketDataBits(PacketLayoutOf(format))) / packetBits;
  budget.fewest = probe->FewestBits();
  budget.most = std::min<uint64_t>((uint64_t{1} << LengthField(format)) - 1,
                                   static_cast<uint64_t>(kMostShares * budget.nominal));
  return std::unique_ptr<StreamEncoder>(new (std::nothrow) ProEncoder(format, shape, budget));
}

}  // namespace wmvcore
