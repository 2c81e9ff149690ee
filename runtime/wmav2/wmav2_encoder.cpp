#include "wmav2_encoder.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "analysis.h"
#include "bit_writer.h"
#include "coding.h"
#include "common/result.h"
#include "layout.h"
#include "packer.h"
#include "rate_control.h"

namespace wmvcore {
namespace {

using namespace wmav2;

constexpr WORD kTag = 0x0161;
// Exponents coded with the variable-length code, superframes with a bit reservoir; one block
// size.
constexpr uint16_t kFlags = kExponentVlc | kBitReservoir;
// Frames a packet holds at the declared rate.
constexpr int kFramesPerPacket = 8;
// Frames a segment: each gets the same share of bits, and its frames spend them as they need.
constexpr int kSegmentFrames = 64;

// A frame's target against the nominal share, however far its perceptual entropy is from
// the mean.
constexpr double kLeanest = 0.85;
constexpr double kRichest = 1.6;
// How much more noise a band may carry than in the block before.
constexpr float kPreEchoRise = 2.0f;

// How the bits of a segment are shared out among its frames.
struct FrameBudget {
  double nominal = 0;     // bits a frame at the declared rate, less the packets' headers
  std::size_t most = 0;   // a frame's most: what a packet's bit offset can count, and half a
                          // packet
  std::size_t least = 0;  // a frame's fewest, so that no packet holds more frames than its
                          // count can say
};

// Bits a band would need above its masking threshold: a guide for choosing the stereo coding,
// not a count.
double PerceptualBits(const std::vector<float>& energies, const std::vector<float>& thresholds,
                      const BlockLayout& block) {
  double bits = 0;
  for (std::size_t b = 0; b < energies.size(); ++b)
    bits += block.exponentBands[b] * 0.5 * std::log2(1.0 + energies[b] / thresholds[b]);
  return bits;
}

class WmaV2Coder final : public SegmentCoder {
 public:
  WmaV2Coder(const StreamLayout& layout, const FrameBudget& budget)
      : layout_(layout), budget_(budget), transform_(layout.frameLength) {
    const std::size_t length = static_cast<std::size_t>(layout.frameLength);
    input_.resize(2 * length);
    for (auto& spectrum : spectra_) spectrum.resize(length);
  }
  bool ready() const { return transform_.ready(); }

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    const int length = layout_.frameLength;
    // The bit reservoir: what the frames so far left of their share, which the next may spend.
    // A frame's target follows its perceptual entropy against the segment's running mean, and
    // leans on the reservoir to keep about a frame's share in hand (less towards the segment's
    // end); the segment's last frame takes all that is left, so every segment spends its share.
    double saved = 0;
    double meanEntropy = 0;
    // The thresholds of the frame before, for pre-echo control: the priming frame's first.
    Analyse(audio, audio.priming - 1);
    raw_ = frame_.thresholds;
    for (std::size_t j = 0; j < audio.coded; ++j) {
      previous_.thresholds = raw_;
      Analyse(audio, audio.priming + j);
      raw_ = frame_.thresholds;
      LimitByPrevious();
      CodedBlock block;
      const double entropy = ChooseStereo(block);
      meanEntropy = j == 0 ? std::max(entropy, 1.0) : 0.9 * meanEntropy + 0.1 * entropy;
      const bool last = j + 1 == audio.coded;
      const double allowance = budget_.nominal + saved;
      const auto most = std::min(budget_.most, static_cast<std::size_t>(std::max(0.0, allowance)));
      const std::size_t left = audio.coded - j - 1;
      const double wanted = budget_.nominal * std::min(1.0, left / 8.0);
      const double share =
          std::clamp(std::sqrt(std::max(entropy, 1.0) / meanEntropy), kLeanest, kRichest);
      double target = budget_.nominal * share + 0.3 * (saved - wanted);
      if (last) target = static_cast<double>(most);
      const auto bits = static_cast<std::size_t>(
          std::clamp(target, static_cast<double>(budget_.least), static_cast<double>(most)));
      std::size_t used = FitBlock(layout_, channels_, bits, 1, block);
      if (used < bits && (last || used < budget_.least)) used = Stuff(layout_, bits, block);
      saved = allowance - static_cast<double>(used);
      writer_.Clear();
      WriteBlock(layout_, block, &writer_);
      MakeFrameUnit(writer_, unit_);
      const int64_t pts = audio.firstPts + static_cast<int64_t>(j) * length;
      RETURN_IF_FAILED(sink.Write(Payload{unit_.data(), unit_.size(), pts, length}));
    }
    return S_OK;
  }

 private:
  // Transforms frame `frame`'s block, which spans the frame before and this one, and finds
  // its bands' energies and masking thresholds.
  void Analyse(const SegmentAudio& audio, std::size_t frame) {
    const int length = layout_.frameLength;
    const BlockLayout& shape = layout_.blocks[0];
    for (int c = 0; c < layout_.channels; ++c) {
      std::copy_n(audio.Float(frame - 1, c), length, input_.begin());
      std::copy_n(audio.Float(frame, c), length, input_.begin() + length);
      transform_.Forward(input_.data(), spectra_[c].data());
      BandEnergies(spectra_[c].data(), shape, frame_.energies[c]);
      MaskingThresholds(frame_.energies[c], shape, layout_.rate, frame_.thresholds[c]);
    }
  }

  // Pre-echo control: the noise of a block spreads over its whole length, so a band may carry
  // no more than twice the noise the block before masked, which keeps an attack's noise from
  // filling the quiet before it. The limit is the block before's own threshold, not its
  // limited one, so that a sound starting after silence is limited for one block only.
  void LimitByPrevious() {
    for (int c = 0; c < layout_.channels; ++c)
      for (std::size_t b = 0; b < frame_.thresholds[c].size(); ++b)
        frame_.thresholds[c][b] =
            std::min(frame_.thresholds[c][b], kPreEchoRise * previous_.thresholds[c][b]);
  }

  // Sets channels_ to left and right or to mid and side, whichever needs fewer bits above the
  // masking threshold (the mid and side channels each may carry half the noise the quieter of
  // left and right masks); gives that estimate of the bits.
  double ChooseStereo(CodedBlock& block) {
    const BlockLayout& shape = layout_.blocks[0];
    double separate = 0;
    for (int c = 0; c < layout_.channels; ++c) {
      channels_[c] = ChannelSpectrum{spectra_[c].data(), frame_.thresholds[c]};
      separate += PerceptualBits(frame_.energies[c], frame_.thresholds[c], shape);
    }
    if (layout_.channels == 1) return separate;
    const std::size_t length = static_cast<std::size_t>(layout_.frameLength);
    mid_.resize(length);
    side_.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
      mid_[i] = 0.5f * (spectra_[0][i] + spectra_[1][i]);
      side_[i] = 0.5f * (spectra_[0][i] - spectra_[1][i]);
    }
    std::vector<float> shared(frame_.thresholds[0].size());
    for (std::size_t b = 0; b < shared.size(); ++b)
      shared[b] = 0.5f * std::min(frame_.thresholds[0][b], frame_.thresholds[1][b]);
    BandEnergies(mid_.data(), shape, midEnergies_);
    BandEnergies(side_.data(), shape, sideEnergies_);
    const double joint =
        PerceptualBits(midEnergies_, shared, shape) + PerceptualBits(sideEnergies_, shared, shape);
    if (joint >= separate) return separate;
    block.midSide = true;
    channels_[0] = ChannelSpectrum{mid_.data(), shared};
    channels_[1] = ChannelSpectrum{side_.data(), shared};
    return joint;
  }

  struct Bands {
    std::array<std::vector<float>, 2> energies;
    std::array<std::vector<float>, 2> thresholds;
  };

  StreamLayout layout_;
  FrameBudget budget_;
  Transform transform_;
  std::vector<float> input_;
  std::array<std::vector<float>, 2> spectra_;
  Bands frame_;
  Bands previous_;
  std::array<std::vector<float>, 2> raw_;  // the frame's thresholds before pre-echo control
  std::array<ChannelSpectrum, 2> channels_;
  std::vector<float> mid_;
  std::vector<float> side_;
  std::vector<float> midEnergies_;
  std::vector<float> sideEnergies_;
  BitWriter writer_;
  std::vector<uint8_t> unit_;
};

class WmaV2Encoder final : public StreamEncoder {
 public:
  explicit WmaV2Encoder(StreamLayout layout) : layout_(std::move(layout)) {}

  bool Describe(const WaveFormat& stream) {
    EncoderShape& shape = shape_;
    shape.format = stream;
    shape.format.formatTag = kTag;
    shape.format.bitsPerSample = 16;
    // Packets of about kFramesPerPacket frames at the declared rate.
    const double frameBits =
        static_cast<double>(layout_.bitRate) * layout_.frameLength / layout_.rate;
    const auto bytes = std::lround(frameBits * kFramesPerPacket / 8);
    if (bytes < 64 || bytes > 0xFFFF) return false;
    shape.format.blockAlign = static_cast<WORD>(bytes);
    const double packetBits = static_cast<double>(bytes) * 8;
    const double payloadBits = packetBits - PacketHeaderBits(layout_);
    budget_.nominal = frameBits * payloadBits / packetBits;
    budget_.most = std::min((std::size_t{1} << (layout_.byteOffsetBits + 3)) - 1,
                            static_cast<std::size_t>(payloadBits / 2));
    budget_.least = static_cast<std::size_t>(payloadBits / 12) + 1;
    // Samples a superframe, the coding flags, and the superframe's bytes.
    const auto frame = static_cast<uint32_t>(layout_.frameLength * kFramesPerPacket);
    shape.format.extra = {static_cast<BYTE>(frame),
                          static_cast<BYTE>(frame >> 8),
                          static_cast<BYTE>(frame >> 16),
                          static_cast<BYTE>(frame >> 24),
                          static_cast<BYTE>(kFlags),
                          static_cast<BYTE>(kFlags >> 8),
                          0,
                          0,
                          0,
                          0};
    shape.layout = SampleLayout::kFloat;
    shape.frameSamples = layout_.frameLength;
    // The decoder drops the first two frames it makes, and each frame's block ends where the
    // frame ends: one frame of silence ahead of the input puts the input's start at the start
    // of what it keeps. Nothing follows the input's last frame: the reader keeps any whole
    // frame past the recorded end, so the last frame's second half is the decoder's final
    // output without its overlap, as with libavcodec's encoder.
    shape.leadingFrames = 1;
    shape.primingFrames = 2;  // the block before the first, for pre-echo control
    shape.lookaheadFrames = 0;
    shape.segmentFrames = kSegmentFrames;
    shape.packetPerPayload = true;
    return true;
  }

  const EncoderShape& shape() const override { return shape_; }

  std::unique_ptr<SegmentCoder> NewCoder() const override {
    std::unique_ptr<WmaV2Coder> coder(new (std::nothrow) WmaV2Coder(layout_, budget_));
    if (!coder || !coder->ready()) return nullptr;
    return coder;
  }

  HRESULT NewPacker(std::unique_ptr<PayloadPacker>& packer) const override {
    packer.reset(new (std::nothrow) SuperframePacker(layout_, shape_.format.blockAlign));
    return packer ? S_OK : E_OUTOFMEMORY;
  }

 private:
  StreamLayout layout_;
  EncoderShape shape_;
  FrameBudget budget_;
};

}  // namespace

std::unique_ptr<StreamEncoder> OpenWmaV2Encoder(const WaveFormat& stream) {
  StreamLayout layout = StreamLayout::Make(static_cast<int>(stream.samplesPerSec), stream.channels,
                                           static_cast<int64_t>(stream.avgBytesPerSec) * 8, kFlags);
  if (layout.frameLength == 0) return nullptr;
  std::unique_ptr<WmaV2Encoder> encoder(new (std::nothrow) WmaV2Encoder(std::move(layout)));
  if (!encoder || !encoder->Describe(stream)) return nullptr;
  return encoder;
}

}  // namespace wmvcore
