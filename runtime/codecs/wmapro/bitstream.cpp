#include "codecs/wmapro/bitstream.h"

#include <algorithm>
#include <cstdlib>

#include "codecs/wmapro/tables.h"

namespace wmvcore::wmapro {
namespace {

constexpr int kVec4Escape = 126;
constexpr int kVec2Escape = 136;
constexpr int kVec1Escape = 100;
constexpr int kLargestVec4Level = 5;
constexpr int kLargestVec2Level = 15;
constexpr int kEndOfBlock = 1;  // the run-level tables' symbol that ends a block
constexpr int kScaleSymbolOffset = 60;

// Counts bits where a writer would write them.
class BitCounter {
 public:
  void Put(uint32_t, int count) { bits += static_cast<uint64_t>(count); }
  uint64_t bits = 0;
};

// The vector codes' symbols by the magnitudes they stand for, made once.
struct VectorSymbols {
  // By a * 216 + b * 36 + c * 6 + d for magnitudes up to 5; -1 where no symbol has them.
  std::array<int16_t, 1296> four;
  // By a * 16 + b for magnitudes up to 15.
  std::array<int16_t, 256> two;
};

const VectorSymbols& Symbols() {
  static const VectorSymbols symbols = [] {
    VectorSymbols made;
    made.four.fill(-1);
    made.two.fill(-1);
    for (int s = 0; s < kVec4Escape; ++s) {
      const int v = kVec4Values[s];
      made.four[static_cast<std::size_t>((v >> 12) * 216 + ((v >> 8) & 15) * 36 +
                                         ((v >> 4) & 15) * 6 + (v & 15))] = static_cast<int16_t>(s);
    }
    for (int s = 0; s < kVec2Escape; ++s) made.two[kVec2Values[s]] = static_cast<int16_t>(s);
    return made;
  }();
  return symbols;
}

// A magnitude too large for the single vector code, after its escape: 8, 16, 24 or 31 bits
// behind a unary count of the longer widths.
template <class Out>
void PutLargeValue(uint32_t value, Out& out) {
  if (value < (1u << 8)) {
    out.Put(0, 1);
    out.Put(value, 8);
  } else if (value < (1u << 16)) {
    out.Put(2, 2);
    out.Put(value, 16);
  } else if (value < (1u << 24)) {
    out.Put(6, 3);
    out.Put(value, 24);
  } else {
    out.Put(7, 3);
    out.Put(value, 31);
  }
}

template <class Out>
void PutSingle(uint32_t magnitude, Out& out) {
  if (magnitude < kVec1Escape) {
    out.Put(kVec1Codes[magnitude], kVec1Bits[magnitude]);
  } else {
    out.Put(kVec1Codes[kVec1Escape], kVec1Bits[kVec1Escape]);
    PutLargeValue(magnitude - kVec1Escape, out);
  }
}

template <class Out>
void PutPair(uint32_t a, uint32_t b, Out& out) {
  if (a <= kLargestVec2Level && b <= kLargestVec2Level) {
    const int symbol = Symbols().two[a * 16 + b];
    if (symbol >= 0) {
      out.Put(kVec2Codes[symbol], kVec2Bits[symbol]);
      return;
    }
  }
  out.Put(kVec2Codes[kVec2Escape], kVec2Bits[kVec2Escape]);
  PutSingle(a, out);
  PutSingle(b, out);
}

// Four coefficients: their magnitudes as one vector where the code has it, else as pairs, then
// a sign for each that is not zero (1 for positive).
template <class Out>
void PutQuad(const int32_t* levels, Out& out) {
  uint32_t m[4];
  for (int i = 0; i < 4; ++i) m[i] = static_cast<uint32_t>(std::abs(levels[i]));
  int symbol = -1;
  if (std::max({m[0], m[1], m[2], m[3]}) <= kLargestVec4Level)
    symbol = Symbols().four[m[0] * 216 + m[1] * 36 + m[2] * 6 + m[3]];
  if (symbol >= 0) {
    out.Put(kVec4Codes[symbol], kVec4Bits[symbol]);
  } else {
    out.Put(kVec4Codes[kVec4Escape], kVec4Bits[kVec4Escape]);
    PutPair(m[0], m[1], out);
    PutPair(m[2], m[3], out);
  }
  for (int i = 0; i < 4; ++i)
    if (m[i] != 0) out.Put(levels[i] > 0 ? 1 : 0, 1);
}

// Coefficients up to the group of four holding the last that is not zero.
int VectorEnd(const int32_t* levels, int length) {
  int last = length;
  while (last > 0 && levels[last - 1] == 0) --last;
  return (last + 3) & ~3;
}

// A channel's coefficients: the run-level table (the first: only its end is used), the
// vector-coded ones, and the end of the block where coefficients remain.
template <class Out>
void PutCoefficients(const int32_t* levels, int length, Out& out) {
  out.Put(0, 1);
  const int end = VectorEnd(levels, length);
  for (int i = 0; i < end; i += 4) PutQuad(levels + i, out);
  if (end < length) out.Put(kCoef0Codes[kEndOfBlock], kCoef0Bits[kEndOfBlock]);
}

// The bits that count a block's vector-coded coefficients (in fours).
int VectorCountField(int length) {
  int log = 0;
  for (unsigned v = static_cast<unsigned>((length + 3) / 4); v >>= 1;) ++log;
  return log + 1;
}

template <class Out>
void PutStuffing(int bits, Out& out) {
  if (bits == 0) {
    out.Put(0, 1);
    return;
  }
  out.Put(1, 1);
  if (bits <= 5) {  // a count of 1 to 3 fill bits
    out.Put(static_cast<uint32_t>(bits - 2), 2);
    out.Put(0, bits - 2);
    return;
  }
  // A count in `width` bits, plus one: the narrowest width that makes the total exact.
  out.Put(0, 2);
  int width = 0;
  while (bits - 6 - width > (1 << width)) ++width;
  const int fill = bits - 6 - width;
  out.Put(static_cast<uint32_t>(width), 4);
  out.Put(static_cast<uint32_t>(fill - 1), width);
  for (int left = fill; left > 0; left -= 32) out.Put(0, std::min(left, 32));
}

// The block's step against the stream's base, six bits signed, or an escape and five-bit
// pieces (31 each but the last).
template <class Out>
void PutQuantStep(int step, Out& out) {
  if (step > -32 && step < 31) {
    out.Put(static_cast<uint32_t>(step) & 63, 6);
    return;
  }
  const bool up = step >= 31;
  out.Put(up ? 31 : 32, 6);
  int rest = up ? step - 31 : -32 - step;
  for (; rest >= 31; rest -= 31) out.Put(31, 5);
  out.Put(static_cast<uint32_t>(rest), 5);
}

// A channel's scale factors, each against the one before (the first against 45 / step).
template <class Out>
void PutScaleFactors(const CodedSubframe& block, const CodedChannel& channel, Out& out) {
  out.Put(static_cast<uint32_t>(block.scaleStep - 1), 2);
  int previous = 45 / block.scaleStep;
  for (const int factor : channel.scaleFactors) {
    const int symbol = factor - previous + kScaleSymbolOffset;
    out.Put(kScaleCodes[symbol], kScaleBits[symbol]);
    previous = factor;
  }
}

bool Coded(const CodedChannel& channel) {
  return std::any_of(channel.levels.begin(), channel.levels.end(),
                     [](int32_t level) { return level != 0; });
}

template <class Out>
void PutSubframe(const StreamFormat& format, const CodedSubframe& block, Out& out) {
  const int channels = format.channels;
  PutStuffing(block.stuffing, out);
  out.Put(0, 1);  // reserved
  if (channels > 1) {
    out.Put(0, 1);  // no transform of its own for each channel
    if (block.midSide) {
      out.Put(0, 1);  // mid and side...
      out.Put(1, 1);  // ...in every band
    } else {
      out.Put(2, 2);  // left and right
    }
  }
  bool any = false;
  for (int c = 0; c < channels; ++c) {
    const bool coded = Coded(block.channels[static_cast<std::size_t>(c)]);
    out.Put(coded ? 1 : 0, 1);
    any = any || coded;
  }
  if (!any) return;
  out.Put(1, 1);  // the count of vector-coded coefficients follows for each channel
  const int field = VectorCountField(block.length);
  for (int c = 0; c < channels; ++c) {
    const auto& levels = block.channels[static_cast<std::size_t>(c)].levels;
    out.Put(static_cast<uint32_t>(VectorEnd(levels.data(), block.length) / 4), field);
  }
  // The block's step is the least of its channels'; each other's is more by 1 to 2^7.
  int step = block.channels[0].quantStep;
  for (int c = 1; c < channels; ++c)
    step = std::min(step, block.channels[static_cast<std::size_t>(c)].quantStep);
  PutQuantStep(step - QuantStepBase(format), out);
  if (channels > 1) {
    int width = 0;
    for (int c = 0; c < channels; ++c)
      while (block.channels[static_cast<std::size_t>(c)].quantStep - step - 1 >= (1 << width))
        ++width;
    out.Put(static_cast<uint32_t>(width), 3);
    for (int c = 0; c < channels; ++c) {
      const int more = block.channels[static_cast<std::size_t>(c)].quantStep - step;
      out.Put(more > 0 ? 1 : 0, 1);
      if (more > 0) out.Put(static_cast<uint32_t>(more - 1), width);
    }
  }
  for (int c = 0; c < channels; ++c)
    PutScaleFactors(block, block.channels[static_cast<std::size_t>(c)], out);
  for (int c = 0; c < channels; ++c) {
    const CodedChannel& channel = block.channels[static_cast<std::size_t>(c)];
    if (Coded(channel)) PutCoefficients(channel.levels.data(), block.length, out);
  }
}

// The frame after its length, up to the bits that end it.
template <class Out>
void PutFrameBody(const StreamFormat& format, const CodedFrame& frame, Out& out) {
  const int frameSamples = FrameSamples(format);
  out.Put(1, 1);  // every channel tiled alike
  int offset = 0;
  for (const CodedSubframe& block : frame.subframes) {
    // The last block's length goes unsaid where only the shortest fits.
    if (offset != frameSamples - frameSamples / kMaxSubframes) {
      int shift = 0;
      while ((frameSamples >> shift) > block.length) ++shift;
      out.Put(static_cast<uint32_t>(shift), 2);
    }
    offset += block.length;
  }
  if (format.channels > 1) out.Put(0, 1);  // no post-processing transform
  if (frame.trimEnd > 0) {
    out.Put(1, 1);
    out.Put(0, 1);  // nothing dropped at the start
    out.Put(1, 1);
    out.Put(static_cast<uint32_t>(frame.trimEnd), TrimField(format));
  } else {
    out.Put(0, 1);
  }
  for (const CodedSubframe& block : frame.subframes) PutSubframe(format, block, out);
}

}  // namespace

bool StuffingFits(int bits) {
  return bits == 0 || (bits >= 3 && bits <= 5) || (bits >= 7 && bits <= kMostStuffing);
}

uint64_t CoefficientBits(const int32_t* levels, int length) {
  BitCounter counter;
  PutCoefficients(levels, length, counter);
  return counter.bits;
}

uint64_t FrameBits(const StreamFormat& format, const CodedFrame& frame) {
  BitCounter counter;
  PutFrameBody(format, frame, counter);
  // The length before, and after: a bit the decoder passes over, and the bit saying whether
  // another frame follows.
  return static_cast<uint64_t>(LengthField(format)) + counter.bits + 2;
}

void WriteFrame(const StreamFormat& format, const CodedFrame& frame, BitWriter& out) {
  out.Put(static_cast<uint32_t>(FrameBits(format, frame)), LengthField(format));
  PutFrameBody(format, frame, out);
  out.Put(0, 1);
  out.Put(1, 1);
}

}  // namespace wmvcore::wmapro
