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
#include "rate_control.h"

namespace wmvcore {
namespace {

using namespace wmav2;

constexpr WORD kTag = 0x0161;
// Exponents coded with the variable-length code; one block size, one frame a packet.
constexpr uint16_t kFlags = kExponentVlc;
constexpr int kSegmentFrames = 32;

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
  WmaV2Coder(const StreamLayout& layout, std::size_t packetBytes)
      : layout_(layout), packetBytes_(packetBytes), transform_(layout.frameLength) {
    const std::size_t length = static_cast<std::size_t>(layout.frameLength);
    input_.resize(2 * length);
    for (auto& spectrum : spectra_) spectrum.resize(length);
  }
  bool ready() const { return transform_.ready(); }

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    const int length = layout_.frameLength;
    for (std::size_t j = 0; j < audio.coded; ++j) {
      const std::size_t frame = audio.priming + j;
      // The frame's block spans the frame before and this one.
      for (int c = 0; c < layout_.channels; ++c) {
        std::copy_n(audio.Float(frame - 1, c), length, input_.begin());
        std::copy_n(audio.Float(frame, c), length, input_.begin() + length);
        transform_.Forward(input_.data(), spectra_[c].data());
      }
      CodeFrame();
      std::vector<uint8_t> packet = writer_.bytes();
      packet.resize(packetBytes_, 0);
      const int64_t pts = audio.firstPts + static_cast<int64_t>(j) * length;
      RETURN_IF_FAILED(sink.Write(Payload{packet.data(), packet.size(), pts, length}));
    }
    return S_OK;
  }

 private:
  void CodeFrame() {
    const BlockLayout& shape = layout_.blocks[0];
    std::array<std::vector<float>, 2> energies;
    std::array<ChannelSpectrum, 2> channels;
    for (int c = 0; c < layout_.channels; ++c) {
      BandEnergies(spectra_[c].data(), shape, energies[c]);
      MaskingThresholds(energies[c], shape, layout_.rate, channels[c].thresholds);
      channels[c].coefficients = spectra_[c].data();
    }
    CodedBlock block;
    if (layout_.channels == 2) ChooseStereo(shape, energies, channels, block);
    FitBlock(layout_, channels, packetBytes_ * 8, block);
    writer_.Clear();
    WriteBlock(layout_, block, &writer_);
  }

  // Mid/side when it needs fewer bits above the masking threshold: the side and mid channels
  // each may carry half the noise the quieter of left and right masks.
  void ChooseStereo(const BlockLayout& shape, std::array<std::vector<float>, 2>& energies,
                    std::array<ChannelSpectrum, 2>& channels, CodedBlock& block) {
    const std::size_t length = static_cast<std::size_t>(layout_.frameLength);
    mid_.resize(length);
    side_.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
      mid_[i] = 0.5f * (spectra_[0][i] + spectra_[1][i]);
      side_[i] = 0.5f * (spectra_[0][i] - spectra_[1][i]);
    }
    std::vector<float> shared(channels[0].thresholds.size());
    for (std::size_t b = 0; b < shared.size(); ++b)
      shared[b] = 0.5f * std::min(channels[0].thresholds[b], channels[1].thresholds[b]);
    std::vector<float> midEnergies;
    std::vector<float> sideEnergies;
    BandEnergies(mid_.data(), shape, midEnergies);
    BandEnergies(side_.data(), shape, sideEnergies);
    const double separate = PerceptualBits(energies[0], channels[0].thresholds, shape) +
                            PerceptualBits(energies[1], channels[1].thresholds, shape);
    const double joint =
        PerceptualBits(midEnergies, shared, shape) + PerceptualBits(sideEnergies, shared, shape);
    if (joint >= separate) return;
    block.midSide = true;
    channels[0] = ChannelSpectrum{mid_.data(), shared};
    channels[1] = ChannelSpectrum{side_.data(), shared};
  }

  StreamLayout layout_;
  std::size_t packetBytes_;
  Transform transform_;
  std::vector<float> input_;
  std::array<std::vector<float>, 2> spectra_;
  std::vector<float> mid_;
  std::vector<float> side_;
  BitWriter writer_;
};

class WmaV2Encoder final : public StreamEncoder {
 public:
  explicit WmaV2Encoder(StreamLayout layout) : layout_(std::move(layout)) {}

  bool Describe(const WaveFormat& stream) {
    EncoderShape& shape = shape_;
    shape.format = stream;
    shape.format.formatTag = kTag;
    shape.format.bitsPerSample = 16;
    // One frame a packet: the bytes the rate gives a frame.
    const int64_t bytes = layout_.bitRate * layout_.frameLength / (8 * layout_.rate);
    if (bytes < 16 || bytes > 0xFFFF) return false;
    shape.format.blockAlign = static_cast<WORD>(bytes);
    // Samples a frame, the coding flags, and no superframes.
    const auto frame = static_cast<uint32_t>(layout_.frameLength);
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
    shape.primingFrames = 1;
    shape.lookaheadFrames = 0;
    shape.segmentFrames = kSegmentFrames;
    return true;
  }

  const EncoderShape& shape() const override { return shape_; }

  std::unique_ptr<SegmentCoder> NewCoder() const override {
    std::unique_ptr<WmaV2Coder> coder(new (std::nothrow)
                                          WmaV2Coder(layout_, shape_.format.blockAlign));
    if (!coder || !coder->ready()) return nullptr;
    return coder;
  }

 private:
  StreamLayout layout_;
  EncoderShape shape_;
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
