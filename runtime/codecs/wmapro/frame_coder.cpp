#include "codecs/wmapro/frame_coder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>

#include "codecs/shared/transform.h"
#include "codecs/wmapro/masking.h"

namespace wmvcore::wmapro {
namespace {

// The forward transform's scale that the decoder's inverse gives back the input from, for
// 16-bit streams: the inverse is scaled by 2 / length and 1 / 32768, and of the other sign.
constexpr float kDecoderScale = -32768.0f;
// Scale factors in steps of 2 dB: the noise follows the thresholds to within a dB, and the
// factors' differences stay small, so cheap to code.
constexpr int kScaleStepDb = 2;
// The quantiser's rounding: a little below a half, which saves more bits in the levels of one
// than the noise it adds costs.
constexpr float kRounding = 0.42f;
// The range of the frame's step offset (dB) that the fit searches: from finer than any
// threshold asks to coarser than any coefficient.
constexpr int kFinestOffset = -64;
constexpr int kCoarsestOffset = 191;
// The transform's coefficients for 16-bit streams are in the decoder's units for 16 bits; a
// wider stream's decoder scales them down by 2 for each further bit.
double WidthScale(const StreamFormat& format) { return std::ldexp(1.0, format.bitsPerSample - 16); }

// Bits a band of `width` coefficients needs for its energy to stand above its threshold: the
// measure the stereo choice and the sharing of bits go by.
double DemandedBits(const std::vector<float>& energies, const std::vector<float>& thresholds,
                    const Masking& masking) {
  double bits = 0;
  for (int b = 0; b < masking.bands(); ++b) {
    const double ratio = energies[static_cast<std::size_t>(b)] /
                         std::max(thresholds[static_cast<std::size_t>(b)], 1e-9f);
    if (ratio > 1) bits += 0.5 * masking.width(b) * std::log2(ratio);
  }
  return bits;
}

const std::vector<float>& CachedWindow(std::map<std::array<int, 3>, std::vector<float>>& windows,
                                       int length, int previous, int next) {
  std::vector<float>& window = windows[{length, previous, next}];
  if (window.empty()) BlockWindow(length, previous, next, window);
  return window;
}

}  // namespace

struct FrameCoder::State {
  explicit State(const StreamFormat& f)
      : format(f),
        frameSamples(FrameSamples(f)),
        transform(frameSamples, kDecoderScale),
        masking(f, frameSamples),
        widthScale(WidthScale(f)) {}

  StreamFormat format;
  int frameSamples;
  Transform transform;
  Masking masking;
  double widthScale;
  std::map<std::array<int, 3>, std::vector<float>> windows;
  std::vector<int> edges;
  // The analysed frame: its coefficients as coded (left and right, or mid and side), in the
  // decoder's units, and each band's step offset (in scale steps) from the noise it may carry.
  bool midSide = false;
  std::array<std::vector<float>, kMaxChannels> spectra;
  std::array<std::vector<int>, kMaxChannels> offsets;
  std::array<std::vector<float>, kMaxChannels> energies;
  std::array<std::vector<float>, kMaxChannels> thresholds;
  std::vector<float> coded;
};

std::unique_ptr<FrameCoder> FrameCoder::Create(const StreamFormat& format) {
  std::unique_ptr<FrameCoder> coder(new (std::nothrow) FrameCoder(format));
  if (!coder || !coder->state_ || !coder->state_->transform.ready()) return nullptr;
  return coder;
}

FrameCoder::FrameCoder(const StreamFormat& format) : state_(new (std::nothrow) State(format)) {
  if (state_) state_->edges = BandEdges(format, state_->frameSamples);
}

FrameCoder::~FrameCoder() = default;

double FrameCoder::Analyse(const float* const* samples, int previous) {
  State& s = *state_;
  const int n = s.frameSamples;
  const int channels = s.format.channels;
  // One block the frame, its window reaching from the middle of the frame before to the middle
  // of the next.
  const std::vector<float>& window = CachedWindow(s.windows, n, previous, n);
  for (int c = 0; c < channels; ++c) {
    auto& spectrum = s.spectra[static_cast<std::size_t>(c)];
    spectrum.resize(static_cast<std::size_t>(n));
    s.transform.Forward(samples[c], window.data(), spectrum.data());
    s.masking.Thresholds(spectrum.data(), s.energies[static_cast<std::size_t>(c)],
                         s.thresholds[static_cast<std::size_t>(c)]);
  }
  double demand = 0;
  for (int c = 0; c < channels; ++c)
    demand += DemandedBits(s.energies[static_cast<std::size_t>(c)],
                           s.thresholds[static_cast<std::size_t>(c)], s.masking);
  s.midSide = false;
  if (channels == 2) {
    // Mid and side each may carry half the noise that the quieter of left and right masks.
    std::vector<float> mid(static_cast<std::size_t>(n)), side(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < mid.size(); ++i) {
      mid[i] = 0.5f * (s.spectra[0][i] + s.spectra[1][i]);
      side[i] = 0.5f * (s.spectra[1][i] - s.spectra[0][i]);
    }
    std::vector<float> shared(s.thresholds[0].size());
    for (std::size_t b = 0; b < shared.size(); ++b)
      shared[b] = 0.5f * std::min(s.thresholds[0][b], s.thresholds[1][b]);
    std::vector<float> midEnergies, sideEnergies;
    s.masking.Energies(mid.data(), midEnergies);
    s.masking.Energies(side.data(), sideEnergies);
    const double joint = DemandedBits(midEnergies, shared, s.masking) +
                         DemandedBits(sideEnergies, shared, s.masking);
    if (joint < demand) {
      demand = joint;
      s.midSide = true;
      s.spectra[0] = std::move(mid);
      s.spectra[1] = std::move(side);
      s.thresholds[0] = shared;
      s.thresholds[1] = std::move(shared);
    }
  }
  // Each band's step, in scale steps: the noise of a uniform quantiser is a twelfth of its
  // step squared; its differences from band to band kept within what the code can say.
  const double thresholdScale = 12.0 * s.widthScale * s.widthScale;
  int most[kMaxChannels] = {};
  for (int c = 0; c < channels; ++c) {
    auto& offsets = s.offsets[static_cast<std::size_t>(c)];
    const auto& thresholds = s.thresholds[static_cast<std::size_t>(c)];
    offsets.resize(thresholds.size());
    for (std::size_t b = 0; b < thresholds.size(); ++b) {
      const double db = 10.0 * std::log10(std::max(thresholds[b] * thresholdScale, 1e-9));
      int offset = static_cast<int>(std::lround(db / kScaleStepDb));
      if (b > 0)
        offset = std::clamp(offset, offsets[b - 1] - kMostScaleDifference,
                            offsets[b - 1] + kMostScaleDifference);
      offsets[b] = offset;
    }
    most[c] = *std::max_element(offsets.begin(), offsets.end());
  }
  // A channel's step may pass the other's by at most what the code can say: the coarser one's
  // bands are made finer where they would pass it.
  if (channels == 2) {
    const int limit = kMostStepDifference / kScaleStepDb;
    const int coarser = most[0] > most[1] ? 0 : 1;
    const int ceiling = most[1 - coarser] + limit;
    for (int& offset : s.offsets[static_cast<std::size_t>(coarser)])
      offset = std::min(offset, ceiling);
  }
  return demand;
}

uint64_t FrameCoder::Code(uint64_t budget, uint64_t fill, int trimEnd, CodedFrame& frame) {
  State& s = *state_;
  const int n = s.frameSamples;
  const int channels = s.format.channels;
  frame.trimEnd = trimEnd;
  frame.subframes.resize(1);
  CodedSubframe& block = frame.subframes[0];
  block.length = n;
  block.midSide = s.midSide;
  block.scaleStep = kScaleStepDb;
  block.stuffing = 0;
  const auto quantise = [&](int offset) {
    for (int c = 0; c < channels; ++c) {
      CodedChannel& channel = block.channels[static_cast<std::size_t>(c)];
      const auto& offsets = s.offsets[static_cast<std::size_t>(c)];
      const auto& spectrum = s.spectra[static_cast<std::size_t>(c)];
      const int most = *std::max_element(offsets.begin(), offsets.end());
      channel.quantStep = offset + most * kScaleStepDb;
      channel.scaleFactors.resize(offsets.size());
      channel.levels.resize(static_cast<std::size_t>(n));
      for (std::size_t b = 0; b < offsets.size(); ++b) {
        channel.scaleFactors[b] = offsets[b] - offsets[0] + 45 / kScaleStepDb;
        const double step = std::pow(10.0, (offset + offsets[b] * kScaleStepDb) / 20.0);
        const auto inverse = static_cast<float>(s.widthScale / step);
        for (int i = s.edges[b]; i < s.edges[b + 1]; ++i) {
          const float x = spectrum[static_cast<std::size_t>(i)] * inverse;
          const auto level = static_cast<int32_t>(std::fabs(x) + kRounding);
          channel.levels[static_cast<std::size_t>(i)] = x < 0 ? -level : level;
        }
      }
      ChooseCoding(n, channel);
    }
    return FrameBits(s.format, frame);
  };
  // The finest offset that fits.
  int fine = kFinestOffset;
  int coarse = kCoarsestOffset;
  if (quantise(fine) > budget) {
    while (coarse - fine > 1) {
      const int middle = (fine + coarse) / 2;
      if (quantise(middle) > budget)
        fine = middle;
      else
        coarse = middle;
    }
    fine = coarse;
  }
  uint64_t bits = quantise(fine);
  if (fill > bits) {
    int extra = static_cast<int>(std::min<uint64_t>(fill - bits, kMostStuffing));
    while (!StuffingFits(extra)) --extra;
    block.stuffing = extra;
    bits += static_cast<uint64_t>(extra);
  }
  return bits;
}

uint64_t FrameCoder::FewestBits() const {
  CodedFrame frame;
  frame.subframes.resize(1);
  frame.subframes[0].length = state_->frameSamples;
  return FrameBits(state_->format, frame);
}

struct Reconstruction::State {
  explicit State(const StreamFormat& f)
      : format(f),
        frameSamples(FrameSamples(f)),
        edges(BandEdges(f, frameSamples)),
        coefficients(static_cast<std::size_t>(frameSamples)),
        samples(2 * static_cast<std::size_t>(frameSamples)) {}
  ~State() { av_tx_uninit(&context); }
  StreamFormat format;
  int frameSamples;
  std::vector<int> edges;
  AVTXContext* context = nullptr;
  av_tx_fn inverse = nullptr;
  std::map<std::array<int, 3>, std::vector<float>> windows;
  int previous = 0;                                     // the length of the last block
  std::array<std::vector<float>, kMaxChannels> output;  // two frames a channel
  std::array<std::vector<float>, kMaxChannels> levels;  // through the stereo transform
  AlignedFloats coefficients;                           // as the inverse transform needs them
  AlignedFloats samples;
};

std::unique_ptr<Reconstruction> Reconstruction::Create(const StreamFormat& format) {
  std::unique_ptr<Reconstruction> made(new (std::nothrow) Reconstruction(format));
  if (!made || !made->state_) return nullptr;
  State& s = *made->state_;
  if (!s.coefficients.ready() || !s.samples.ready()) return nullptr;
  // The decoder's inverse transform: scaled by 2 / length, and down to full scale 1 from the
  // stream's sample width.
  const int n = s.frameSamples;
  float scale = static_cast<float>(2.0 / n / std::ldexp(1.0, format.bitsPerSample - 1));
  if (av_tx_init(&s.context, &s.inverse, AV_TX_FLOAT_MDCT, 1, n, &scale, AV_TX_FULL_IMDCT) < 0)
    return nullptr;
  s.previous = n;
  for (auto& channel : s.output) channel.assign(2 * static_cast<std::size_t>(n), 0.0f);
  for (auto& channel : s.levels) channel.resize(static_cast<std::size_t>(n));
  return made;
}

Reconstruction::Reconstruction(const StreamFormat& format)
    : state_(new (std::nothrow) State(format)) {}

Reconstruction::~Reconstruction() = default;

void Reconstruction::Add(const CodedFrame& frame) {
  State& s = *state_;
  const int n = s.frameSamples;
  const int channels = s.format.channels;
  // The frame before's output gives way to this one's.
  for (auto& out : s.output) {
    std::copy(out.begin() + n, out.end(), out.begin());
    std::fill(out.begin() + n, out.end(), 0.0f);
  }
  for (const CodedSubframe& block : frame.subframes) {
    // The decoder's order: levels through the stereo transform, then each channel's bands
    // scaled by their steps.
    for (int c = 0; c < channels; ++c) {
      const auto& levels = block.channels[static_cast<std::size_t>(c)].levels;
      auto& out = s.levels[static_cast<std::size_t>(c)];
      for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = levels.empty() ? 0.0f : static_cast<float>(levels[i]);
    }
    if (block.midSide)
      for (std::size_t i = 0; i < s.levels[0].size(); ++i) {
        const float mid = s.levels[0][i];
        const float side = s.levels[1][i];
        s.levels[0][i] = mid - side;
        s.levels[1][i] = mid + side;
      }
    const std::vector<float>& window = CachedWindow(s.windows, n, s.previous, n);
    for (int c = 0; c < channels; ++c) {
      const CodedChannel& channel = block.channels[static_cast<std::size_t>(c)];
      float* coefficients = s.coefficients.data();
      std::copy(s.levels[static_cast<std::size_t>(c)].begin(),
                s.levels[static_cast<std::size_t>(c)].end(), coefficients);
      if (!channel.scaleFactors.empty()) {
        const int most =
            *std::max_element(channel.scaleFactors.begin(), channel.scaleFactors.end());
        for (std::size_t b = 0; b < channel.scaleFactors.size(); ++b) {
          const int db = channel.quantStep - (most - channel.scaleFactors[b]) * block.scaleStep;
          const auto step = static_cast<float>(std::pow(10.0, db / 20.0));
          for (int i = s.edges[b]; i < s.edges[b + 1]; ++i) coefficients[i] *= step;
        }
      }
      s.inverse(s.context, s.samples.data(), coefficients, sizeof(float));
      auto& out = s.output[static_cast<std::size_t>(c)];
      for (int i = 0; i < 2 * n; ++i)
        out[static_cast<std::size_t>(i)] += s.samples.data()[i] * window[i];
    }
    s.previous = block.length;
  }
}

const float* Reconstruction::Output(int channel) const {
  return state_->output[static_cast<std::size_t>(channel)].data();
}

}  // namespace wmvcore::wmapro
