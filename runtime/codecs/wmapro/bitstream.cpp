#include "codecs/wmapro/bitstream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

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

// The run-level codes: a symbol a run of zeros and the level after it, with escapes for the
// rest, made once into tables by level and run.
struct RunLevelTable {
  const uint32_t* codes;
  const uint8_t* bits;
  const uint16_t* runs;
  const uint16_t* levels;
  int size;
};
constexpr RunLevelTable kRunLevelTables[2] = {
    {kCoef0Codes, kCoef0Bits, kCoef0Runs, kCoef0Levels, 272},
    {kCoef1Codes, kCoef1Bits, kCoef1Runs, kCoef1Levels, 244}};
constexpr int kEscape = 0;

struct RunLevelSymbols {
  // By table, level and run: the symbol, or -1.
  std::array<std::vector<std::vector<int16_t>>, 2> byLevel;
  int Find(int table, uint32_t level, int run) const {
    const auto& levels = byLevel[static_cast<std::size_t>(table)];
    if (level >= levels.size()) return -1;
    const auto& runs = levels[level];
    return static_cast<std::size_t>(run) < runs.size() ? runs[static_cast<std::size_t>(run)] : -1;
  }
};

const RunLevelSymbols& RunLevels() {
  static const RunLevelSymbols symbols = [] {
    RunLevelSymbols made;
    for (int t = 0; t < 2; ++t) {
      const RunLevelTable& table = kRunLevelTables[t];
      auto& levels = made.byLevel[static_cast<std::size_t>(t)];
      for (int s = kEndOfBlock + 1; s < table.size; ++s) {
        const std::size_t level = table.levels[s];
        const std::size_t run = table.runs[s];
        if (levels.size() <= level) levels.resize(level + 1);
        if (levels[level].size() <= run) levels[level].resize(run + 1, -1);
        levels[level][run] = static_cast<int16_t>(s);
      }
    }
    return made;
  }();
  return symbols;
}

int LargeValueBits(uint32_t value) {
  return value < (1u << 8) ? 9 : value < (1u << 16) ? 18 : value < (1u << 24) ? 27 : 34;
}

// The bits of a run's count after an escape: none, 1 to 4, or 4 and more in `runField` bits.
int EscapedRunBits(int run, int runField) { return run == 0 ? 1 : run <= 4 ? 4 : 3 + runField; }

template <class Out>
void PutEscapedRun(int run, int runField, Out& out) {
  if (run == 0) {
    out.Put(0, 1);
  } else if (run <= 4) {
    out.Put(2, 2);
    out.Put(static_cast<uint32_t>(run - 1), 2);
  } else {
    out.Put(6, 3);
    out.Put(static_cast<uint32_t>(run - 4), runField);
  }
}

// The bits of one run and level, its sign included.
int RunLevelBits(int table, int run, uint32_t level, int runField) {
  const int symbol = RunLevels().Find(table, level, run);
  if (symbol >= 0) return kRunLevelTables[table].bits[symbol] + 1;
  return kRunLevelTables[table].bits[kEscape] + LargeValueBits(level) +
         EscapedRunBits(run, runField) + 1;
}

int QuadBits(const int32_t* levels) {
  BitCounter counter;
  PutQuad(levels, counter);
  return static_cast<int>(counter.bits);
}

// How a channel's coefficients are coded: vector-coded up to `vectorEnd`, run-level coded after
// it with one of the two tables.
struct CoefficientCoding {
  int vectorEnd = 0;
  int table = 0;
};

// The bits of the count of zeros after an escape: those of a position in the block.
int RunField(int length) {
  int log = 0;
  for (unsigned v = static_cast<unsigned>(length - 1); v >>= 1;) ++log;
  return log + 1;
}

// The cheapest coding: vectors ending at each group boundary up to the last coefficient that is
// not zero, with each table for what follows. (Zeros cost 5 bits a group of four as vectors,
// so a sparse top of the spectrum goes as runs.)
CoefficientCoding ChooseCoding(const int32_t* levels, int length) {
  int last = length;
  while (last > 0 && levels[last - 1] == 0) --last;
  const int groups = (last + 3) / 4;
  const int runField = RunField(length);
  CoefficientCoding best{groups * 4, 0};
  uint64_t bestBits = UINT64_MAX;
  // The vectors' bits up to each group boundary.
  std::vector<uint64_t> vectorBits(static_cast<std::size_t>(groups) + 1, 0);
  for (int g = 0; g < groups; ++g)
    vectorBits[static_cast<std::size_t>(g) + 1] =
        vectorBits[static_cast<std::size_t>(g)] + static_cast<uint64_t>(QuadBits(levels + 4 * g));
  std::vector<int> places;
  for (int i = 0; i < last; ++i)
    if (levels[i] != 0) places.push_back(i);
  const auto level = [&](std::size_t j) {
    return static_cast<uint32_t>(std::abs(levels[places[j]]));
  };
  for (int table = 0; table < 2; ++table) {
    // after[j]: the bits of the nonzero coefficients from j on, each after the one before, and
    // of the end of the block.
    const auto end = static_cast<uint64_t>(kRunLevelTables[table].bits[kEndOfBlock]);
    std::vector<uint64_t> after(places.size() + 1, end);
    for (std::size_t j = places.size(); j-- > 1;)
      after[j] = after[j + 1] + static_cast<uint64_t>(RunLevelBits(
                                    table, places[j] - places[j - 1] - 1, level(j), runField));
    std::size_t next = 0;  // the first nonzero coefficient at or past the boundary
    for (int g = 0; g <= groups; ++g) {
      const int boundary = 4 * g;
      while (next < places.size() && places[next] < boundary) ++next;
      uint64_t bits = vectorBits[static_cast<std::size_t>(g)];
      if (next < places.size())
        bits += static_cast<uint64_t>(
                    RunLevelBits(table, places[next] - boundary, level(next), runField)) +
                after[next + 1];
      else if (boundary < length)
        bits += end;
      // The end of the block is not written where the last coefficient ends it.
      if (next < places.size() && last == length) bits -= end;
      if (bits < bestBits) {
        bestBits = bits;
        best = CoefficientCoding{boundary, table};
      }
    }
  }
  return best;
}

// The channel's coding: as chosen, or chosen now.
CoefficientCoding CodingOf(const CodedChannel& channel, int length) {
  if (channel.vectorEnd >= 0) return CoefficientCoding{channel.vectorEnd, channel.runLevelTable};
  return ChooseCoding(channel.levels.data(), length);
}

// A channel's coefficients: the run-level table, the vector-coded ones, then each one not zero
// after them as a run and level, and the end of the block where coefficients remain.
template <class Out>
void PutCoefficients(const int32_t* levels, int length, const CoefficientCoding& coding, Out& out) {
  const RunLevelTable& table = kRunLevelTables[coding.table];
  out.Put(static_cast<uint32_t>(coding.table), 1);
  for (int i = 0; i < coding.vectorEnd; i += 4) PutQuad(levels + i, out);
  const int runField = RunField(length);
  int position = coding.vectorEnd;
  for (int i = coding.vectorEnd; i < length; ++i) {
    if (levels[i] == 0) continue;
    const int run = i - position;
    const auto level = static_cast<uint32_t>(std::abs(levels[i]));
    const int symbol = RunLevels().Find(coding.table, level, run);
    if (symbol >= 0) {
      out.Put(table.codes[symbol], table.bits[symbol]);
    } else {
      out.Put(table.codes[kEscape], table.bits[kEscape]);
      PutLargeValue(level, out);
      PutEscapedRun(run, runField, out);
    }
    out.Put(levels[i] > 0 ? 1 : 0, 1);
    position = i + 1;
  }
  if (position < length) out.Put(table.codes[kEndOfBlock], table.bits[kEndOfBlock]);
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
    out.Put(static_cast<uint32_t>(
                CodingOf(block.channels[static_cast<std::size_t>(c)], block.length).vectorEnd / 4),
            field);
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
    if (Coded(channel))
      PutCoefficients(channel.levels.data(), block.length, CodingOf(channel, block.length), out);
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

void ChooseCoding(int length, CodedChannel& channel) {
  const CoefficientCoding coding = ChooseCoding(channel.levels.data(), length);
  channel.vectorEnd = coding.vectorEnd;
  channel.runLevelTable = coding.table;
}

bool StuffingFits(int bits) {
  return bits == 0 || (bits >= 3 && bits <= 5) || (bits >= 7 && bits <= kMostStuffing);
}

uint64_t CoefficientBits(const int32_t* levels, int length) {
  BitCounter counter;
  PutCoefficients(levels, length, ChooseCoding(levels, length), counter);
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
