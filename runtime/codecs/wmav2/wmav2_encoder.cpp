#include "codecs/wmav2/wmav2_encoder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <optional>
#include <vector>

#include "base/result.h"
#include "codecs/shared/bit_writer.h"
#include "codecs/shared/masking.h"
#include "codecs/shared/transform.h"
#include "codecs/wmav2/coding.h"
#include "codecs/wmav2/layout.h"
#include "codecs/wmav2/packer.h"
#include "codecs/wmav2/rate_control.h"
#include "codecs/wmav2/stuffing.h"

namespace wmvcore {
namespace {

using namespace wmav2;

constexpr WORD kTag = 0x0161;
// Exponents coded with the variable-length code, superframes with a bit reservoir, blocks of
// several sizes.
constexpr uint16_t kFlags = kExponentVlc | kBitReservoir | kVariableBlocks;
// Frames a packet holds at the declared rate: few, so that the stream's last packet, which is
// padded, is short, and enough that a frame may take twice its share.
constexpr int kFramesPerPacket = 4;
// Frames a segment: each gets the same share of bits, and its frames spend them as they need.
constexpr int kSegmentFrames = 64;
// The forward transform's scale that makes the decoder's inverse give back the input: its
// inverse is scaled by 1/32768 and its coefficients by 2 / length.
constexpr float kDecoderScale = -32768.0f;

// A frame's target against the nominal share, however far its perceptual entropy is from
// the mean.
constexpr double kLeanest = 0.85;
constexpr double kRichest = 1.6;
// How much more noise a band may carry than in the block before.
constexpr float kPreEchoRise = 2.0f;

// Coded for quality (1 to 100), each band's noise is its masking threshold moved by an offset
// falling evenly with the quality: +8 dB at 5, -1 dB at 50, -11 dB at 100. The usual average,
// which sizes the packets, is 100 kbps at 50 for 44.1 kHz stereo and 2.5 times that 50 steps
// up, in proportion to the rate, and 60% of that for one channel. Both from the quality
// benchmark (bench/quality/run --coders q10,q25,...).
double NoiseOffsetDb(int quality) { return 9.0 - 0.2 * quality; }
double QualityAverage(int quality, int rate, int channels) {
  const double stereo = 100000.0 * std::pow(2.5, (quality - 50) / 50.0) * rate / 44100;
  return channels == 1 ? 0.6 * stereo : stereo;
}

// How the bits of a segment are shared out among its frames.
struct FrameBudget {
  double nominal = 0;     // bits a frame at the declared rate, less the packets' headers
  std::size_t most = 0;   // a frame's most: what a packet's bit offset can count, and half a
                          // packet
  std::size_t least = 0;  // a frame's fewest, so that no packet holds more frames than its
                          // count can say
  // Coded for quality: each band's noise against its masking threshold, in dB; the frames
  // then take what they need, within [least, most], and `nominal` only sizes the packets.
  std::optional<double> quality;
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
      : layout_(layout), budget_(budget) {
    for (const BlockLayout& block : layout.blocks)
      transforms_.push_back(std::make_unique<Transform>(block.length, kDecoderScale));
    const std::size_t length = static_cast<std::size_t>(layout.frameLength);
    buffer_.resize(2 * length);
  }
  bool ready() const {
    return std::all_of(transforms_.begin(), transforms_.end(),
                       [](const auto& transform) { return transform->ready(); });
  }

  HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) override {
    const int length = layout_.frameLength;
    // Each frame's block sizes, from the priming frame before the first coded one to the
    // lookahead frame after the last: a frame's blocks are shaped by its neighbours' sizes.
    const std::size_t frames = audio.priming + audio.coded + audio.lookahead;
    sizes_.assign(frames, 0);
    for (std::size_t f = audio.priming - 1; f < frames; ++f) sizes_[f] = FrameSize(audio, f);
    // The bit reservoir: what the frames so far left of their share, which the next may spend.
    // A frame's target follows its perceptual entropy against the segment's running mean, and
    // leans on the reservoir to keep about a frame's share in hand (less towards the segment's
    // end). Every segment spends its share to the bit: a frame spends at least what the frames
    // after it could not spend at (nearly) their most, and the segment's last frame takes all
    // that is left.
    const auto segmentBits = SegmentBits(audio);
    std::size_t spent = 0;
    double meanEntropy = 0;
    // The thresholds of the long block before, for pre-echo control.
    if (sizes_[audio.priming - 1] == 0) {
      Analyse(audio, audio.priming - 1, 0, 0, false);
      longBefore_ = blocks_[0].raw;
    }
    for (std::size_t j = 0; j < audio.coded; ++j) {
      const std::size_t frame = audio.priming + j;
      const int size = sizes_[frame];
      const int count = 1 << size;
      blocks_.resize(static_cast<std::size_t>(count));
      double entropy = 0;
      for (int b = 0; b < count; ++b) entropy += Analyse(audio, frame, size, b, b == 0);
      if (size == 0) longBefore_ = blocks_[0].raw;
      meanEntropy = j == 0 ? std::max(entropy, 1.0) : 0.9 * meanEntropy + 0.1 * entropy;
      const std::size_t left = audio.coded - j - 1;
      const std::size_t remaining = segmentBits - std::min(spent, segmentBits);
      const double saved = static_cast<double>(remaining) - budget_.nominal * (left + 1);
      const double allowance = budget_.nominal + saved;
      const auto most = std::min(budget_.most, static_cast<std::size_t>(std::max(0.0, allowance)));
      // What the frames after this one can spend at their most, less some room for a frame
      // that falls short of its floor (stuffing that cannot fill it to the bit).
      const std::size_t after = left * (budget_.most - budget_.most / 8);
      const std::size_t fewest =
          std::min(most, std::max(budget_.least, remaining > after ? remaining - after : 0));
      const double wanted = budget_.nominal * std::min(1.0, left / 8.0);
      const double share =
          std::clamp(std::sqrt(std::max(entropy, 1.0) / meanEntropy), kLeanest, kRichest);
      double target = budget_.nominal * share + 0.3 * (saved - wanted);
      if (left == 0) target = static_cast<double>(most);
      const auto bits = static_cast<std::size_t>(
          std::clamp(target, static_cast<double>(fewest), static_cast<double>(most)));
      fits_.resize(blocks_.size());
      for (std::size_t b = 0; b < blocks_.size(); ++b) {
        fits_[b].channels = blocks_[b].channels;
        fits_[b].block = std::move(blocks_[b].block);
      }
      std::size_t used = budget_.quality
                             ? FitQuality(layout_, fits_, *budget_.quality, budget_.most)
                             : FitFrame(layout_, fits_, bits);
      // Coded for quality, a frame takes the bits its noise needs, and no fewer than the least.
      const std::size_t goal = budget_.quality ? std::max(used, budget_.least) : bits;
      const std::size_t floor = budget_.quality ? budget_.least : fewest;
      // Filled from its last block back, as far as each block has room.
      if (used < floor) {
        for (auto fit = fits_.rbegin(); fit != fits_.rend() && used < goal; ++fit) {
          const std::size_t others = used - WriteBlock(layout_, fit->block, nullptr);
          used = others + Stuff(layout_, goal - others, fit->block);
        }
      }
      spent += used;
      writer_.Clear();
      for (const BlockToFit& fit : fits_) WriteBlock(layout_, fit.block, &writer_);
      // The sizes a decoder that starts on this frame reads first: the block before's, and
      // this frame's first.
      Payload coded{writer_.bytes().data(), writer_.bytes().size(),
                    audio.firstPts + static_cast<int64_t>(j) * length, length};
      coded.bits = writer_.bits();
      // A decoder may start on any frame, given those sizes (the packer puts them ahead of a
      // packet's first new frame).
      coded.seekable = true;
      coded.blockSizes =
          static_cast<uint8_t>(LastBlockSize(sizes_[frame - 1]) << 4 | static_cast<uint8_t>(size));
      RETURN_IF_FAILED(sink.Write(coded));
    }
    return S_OK;
  }

 private:
  // A frame's blocks are all one size: long, or the shortest where the frame holds an attack.
  // The frame's blocks cover what lies between the middles of the frame before and this one.
  int FrameSize(const SegmentAudio& audio, std::size_t frame) {
    const int shortest = static_cast<int>(layout_.blocks.size()) - 1;
    if (shortest == 0) return 0;
    const int length = layout_.frameLength;
    // From an eighth of a frame before that stretch, for the level before it.
    const int from = length / 2 - length / 8;
    attack_.resize(static_cast<std::size_t>(length - from + length / 2));
    for (int c = 0; c < audio.channels(); ++c) {
      std::copy_n(audio.Float(frame - 1, c) + from, length - from, attack_.begin());
      std::copy_n(audio.Float(frame, c), length / 2, attack_.begin() + (length - from));
      if (HasAttack(attack_.data(), static_cast<int>(attack_.size()))) return shortest;
    }
    return 0;
  }
  static int LastBlockSize(int frameSize) { return frameSize; }

  // The segment's share of bits: the stream's share up to its last frame less the share up to
  // its first, each rounded, so that the shares of consecutive segments add up to the stream's
  // without a fraction of a bit lost at each, whichever thread codes which segment.
  std::size_t SegmentBits(const SegmentAudio& audio) const {
    const int64_t first = audio.firstPts / layout_.frameLength;
    const auto upTo = [&](int64_t frames) {
      return std::llround(budget_.nominal * static_cast<double>(frames));
    };
    return static_cast<std::size_t>(upTo(first + static_cast<int64_t>(audio.coded)) - upTo(first));
  }

  const std::vector<float>& WindowOf(int length, int previous, int next) {
    std::vector<float>& window = windows_[{length, previous, next}];
    if (window.empty()) BlockWindow(length, previous, next, window);
    return window;
  }

  // A block of the frame, analysed: its spectra, its bands, its stereo coding.
  struct Block {
    CodedBlock block;
    std::array<ChannelSpectrum, 2> channels;
    std::array<std::vector<float>, 2> raw;  // thresholds before pre-echo control
    std::array<std::vector<float>, 2> spectra;
    std::vector<float> mid, side;
  };

  // Transforms block `index` of frame `frame` (all its blocks of size `size`) into
  // blocks_[index], finds its bands' energies and thresholds and chooses its stereo coding;
  // gives the bits it would need above its thresholds.
  double Analyse(const SegmentAudio& audio, std::size_t frame, int size, int index, bool first) {
    if (blocks_.size() <= static_cast<std::size_t>(index)) blocks_.resize(index + 1);
    Block& block = blocks_[index];
    const BlockLayout& shape = layout_.blocks[size];
    const int length = layout_.frameLength;
    const int n = shape.length;
    const int count = 1 << size;
    // Sizes before and after, in samples: the frames' neighbours at their edges.
    const int previous = index > 0 ? n : layout_.blocks[LastBlockSize(sizes_[frame - 1])].length;
    const bool hasNext = frame + 1 < sizes_.size();
    const int nextSize = index + 1 < count ? size : hasNext ? sizes_[frame + 1] : size;
    const int next = layout_.blocks[nextSize].length;
    const std::vector<float>& window = WindowOf(n, previous, next);
    const int start = length / 2 + index * n - n / 2;
    for (int c = 0; c < layout_.channels; ++c) {
      std::copy_n(audio.Float(frame - 1, c), length, buffer_.begin());
      std::copy_n(audio.Float(frame, c), length, buffer_.begin() + length);
      block.spectra[c].resize(static_cast<std::size_t>(n));
      transforms_[size]->Forward(buffer_.data() + start, window.data(), block.spectra[c].data());
      BandEnergies(block.spectra[c].data(), shape.exponentBands, energies_[c]);
      MaskingThresholds(energies_[c], shape.exponentBands, n, layout_.rate, block.raw[c]);
      block.channels[c].thresholds = block.raw[c];
      // Pre-echo control: the noise of a long block spreads over its whole length, so a band
      // may carry no more than twice the noise the long block before masked, which keeps an
      // attack's noise from filling the quiet before it (the limit is the block before's own
      // threshold, so a sound starting after silence is limited for one block only).
      if (size == 0 && first && sizes_[frame - 1] == 0 && !longBefore_[c].empty())
        for (std::size_t b = 0; b < block.raw[c].size(); ++b)
          block.channels[c].thresholds[b] =
              std::min(block.raw[c][b], kPreEchoRise * longBefore_[c][b]);
    }
    block.block = CodedBlock{};
    block.block.size = size;
    block.block.nextSize = nextSize;
    return ChooseStereo(block, shape);
  }

  // Left and right, or mid and side, whichever needs fewer bits above the masking threshold
  // (the mid and side channels each may carry half the noise the quieter of left and right
  // masks); gives that estimate of the bits.
  double ChooseStereo(Block& block, const BlockLayout& shape) {
    double separate = 0;
    for (int c = 0; c < layout_.channels; ++c) {
      block.channels[c].coefficients = block.spectra[c].data();
      separate += PerceptualBits(energies_[c], block.channels[c].thresholds, shape);
    }
    if (layout_.channels == 1) return separate;
    const std::size_t n = static_cast<std::size_t>(shape.length);
    block.mid.resize(n);
    block.side.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      block.mid[i] = 0.5f * (block.spectra[0][i] + block.spectra[1][i]);
      block.side[i] = 0.5f * (block.spectra[0][i] - block.spectra[1][i]);
    }
    std::vector<float> shared(block.channels[0].thresholds.size());
    for (std::size_t b = 0; b < shared.size(); ++b)
      shared[b] = 0.5f * std::min(block.channels[0].thresholds[b], block.channels[1].thresholds[b]);
    BandEnergies(block.mid.data(), shape.exponentBands, midEnergies_);
    BandEnergies(block.side.data(), shape.exponentBands, sideEnergies_);
    const double joint =
        PerceptualBits(midEnergies_, shared, shape) + PerceptualBits(sideEnergies_, shared, shape);
    if (joint >= separate) return separate;
    block.block.midSide = true;
    block.channels[0] = ChannelSpectrum{block.mid.data(), shared};
    block.channels[1] = ChannelSpectrum{block.side.data(), shared};
    return joint;
  }

  StreamLayout layout_;
  FrameBudget budget_;
  std::vector<std::unique_ptr<Transform>> transforms_;  // by block size
  std::vector<float> buffer_;  // a channel of the frame before and this one
  // Windows by block length and the lengths before and after: made once, as their sines
  // would otherwise take a tenth of the coding time.
  std::map<std::array<int, 3>, std::vector<float>> windows_;
  std::vector<float> attack_;
  std::vector<int> sizes_;  // by frame of the segment
  std::vector<Block> blocks_;
  std::vector<BlockToFit> fits_;
  std::array<std::vector<float>, 2> longBefore_;
  std::array<std::vector<float>, 2> energies_;
  std::vector<float> midEnergies_;
  std::vector<float> sideEnergies_;
  BitWriter writer_;
};

class WmaV2Encoder final : public StreamEncoder {
 public:
  explicit WmaV2Encoder(StreamLayout layout) : layout_(std::move(layout)) {}

  // Describes the stream, its packets sized for frames at `packetRate` (bits per second).
  bool Describe(const WaveFormat& stream, double packetRate) {
    EncoderShape& shape = shape_;
    shape.format = stream;
    shape.format.formatTag = kTag;
    shape.format.bitsPerSample = 16;
    shape.format.avgBytesPerSec = static_cast<DWORD>(layout_.bitRate / 8);
    // Packets of about kFramesPerPacket frames at that rate.
    const double frameBits = packetRate * layout_.frameLength / layout_.rate;
    const auto bytes = std::lround(frameBits * kFramesPerPacket / 8);
    if (bytes < 64 || bytes > 0xFFFF) return false;
    shape.format.blockAlign = static_cast<WORD>(bytes);
    const double packetBits = static_cast<double>(bytes) * 8;
    // Each packet's header, and the block sizes ahead of the first frame that starts in it.
    const double payloadBits = packetBits - PacketHeaderBits(layout_) - 2 * layout_.blockSizeBits;
    budget_.nominal = frameBits * payloadBits / packetBits;
    // At most half a packet, so that every packet holds a whole frame besides the end of the
    // one before: a decoder that starts on any packet then decodes a frame of it, which is how
    // the reader starts its segments. Room is left for the block sizes the packer puts ahead
    // of a packet's first new frame.
    budget_.most = std::min((std::size_t{1} << (layout_.byteOffsetBits + 3)) - 1,
                            static_cast<std::size_t>(payloadBits / 2)) -
                   2 * static_cast<std::size_t>(layout_.blockSizeBits);
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
    // The frame before the first coded one is analysed, and its neighbour's sizes shape it.
    shape.primingFrames = 2;
    shape.lookaheadFrames = 1;  // the next frame's block size shapes a frame's last block
    shape.segmentFrames = kSegmentFrames;
    shape.packetPerPayload = true;
    return true;
  }

  // Codes for quality, the noise `noiseOffsetDb` from the masking thresholds: the decoder's
  // layout stays the declared rate's, so the header keeps that rate in the format.
  void CodeForQuality(double noiseOffsetDb) {
    budget_.quality = noiseOffsetDb;
    shape_.averageSetsLayout = true;
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
  const std::optional<int> quality = QualityOfRate(stream.avgBytesPerSec);
  const int rate = static_cast<int>(stream.samplesPerSec);
  // A quality's packets are sized for its usual average, and its layout declared at twice
  // that (never below 32 kbps a channel, which keeps the shortest blocks): a frame may then
  // take twice its usual share, half a packet, which a packet's bit offset, as wide as the
  // declared rate makes it, can count. No stretch of the stream exceeds the declared rate.
  const double packetRate = quality ? QualityAverage(*quality, rate, stream.channels) : 0;
  const int64_t bitRate =
      quality ? std::lround(std::max(2.0 * packetRate / stream.channels, 32000.0)) * stream.channels
              : static_cast<int64_t>(stream.avgBytesPerSec) * 8;
  StreamLayout layout = StreamLayout::Make(rate, stream.channels, bitRate, kFlags);
  if (layout.frameLength == 0) return nullptr;
  // Out of memory here is no format it cannot encode: the exception goes to the caller's boundary.
  std::unique_ptr<WmaV2Encoder> encoder(new WmaV2Encoder(std::move(layout)));
  if (!encoder->Describe(stream, quality ? packetRate : static_cast<double>(bitRate)))
    return nullptr;
  if (quality) encoder->CodeForQuality(NoiseOffsetDb(*quality));
  return encoder;
}

}  // namespace wmvcore
