#include "codecs/wmav2/coding.h"

#include <cstdlib>

#include "codecs/wmav2/tables.h"

namespace wmvcore::wmav2 {
namespace {

// The code of each (run, level) pair of a table, found by level, then run.
struct PairCodes {
  std::vector<int> firstCode;  // by level - 1: the code of run 0
  std::vector<int> runs;       // by level - 1: how many runs have a code
};

const PairCodes& PairCodesOf(int index) {
  static const std::array<PairCodes, 6> kCodes = [] {
    std::array<PairCodes, 6> all;
    for (int t = 0; t < 6; ++t) {
      const CoefficientTable& table = CoefficientTableAt(t);
      int code = 2;
      for (int l = 0; l < table.levelCount && code < table.codes; ++l) {
        all[t].firstCode.push_back(code);
        all[t].runs.push_back(table.levels[l]);
        code += table.levels[l];
      }
    }
    return all;
  }();
  return kCodes[index];
}

void PutCode(const CoefficientTable& table, int code, BitWriter* out, std::size_t& bits) {
  bits += table.lengths[code];
  if (out != nullptr) out->Put(table.bits[code], table.lengths[code]);
}

int TableOf(const StreamLayout& layout, const CodedBlock& block, int channel) {
  return layout.coefficientTable * 2 + (channel == 1 && block.midSide ? 1 : 0);
}

// Bits of one channel's run-level coded coefficients with table `table`.
std::size_t CoefficientBits(const StreamLayout& layout, int table, const std::vector<int>& levels,
                            int count, int levelBits, int stuffing, const std::vector<int>& escaped,
                            BitWriter* out) {
  const CoefficientTable& codes = CoefficientTableAt(table);
  const PairCodes& pairs = PairCodesOf(table);
  std::size_t bits = 0;
  int run = 0;
  int last = -1;
  auto nextEscaped = escaped.begin();
  for (int i = 0; i < count; ++i) {
    const int level = levels[i];
    if (level == 0) {
      ++run;
      continue;
    }
    const int magnitude = std::abs(level);
    bool paired =
        magnitude <= static_cast<int>(pairs.runs.size()) && run < pairs.runs[magnitude - 1];
    while (nextEscaped != escaped.end() && *nextEscaped < i) ++nextEscaped;
    if (nextEscaped != escaped.end() && *nextEscaped == i) paired = false;
    if (paired) {
      PutCode(codes, pairs.firstCode[magnitude - 1] + run, out, bits);
    } else {
      PutCode(codes, 0, out, bits);
      bits += static_cast<std::size_t>(levelBits + layout.frameBits);
      if (out != nullptr) {
        out->Put(static_cast<uint32_t>(magnitude), levelBits);
        out->Put(static_cast<uint32_t>(run), layout.frameBits);
      }
    }
    bits += 1;
    if (out != nullptr) out->PutBit(level > 0 ? 1 : 0);
    run = 0;
    last = i;
  }
  for (int k = 0; k < stuffing && last < count - 1; ++k) {
    PutCode(codes, 0, out, bits);
    bits += static_cast<std::size_t>(levelBits + layout.frameBits + 1);
    if (out != nullptr) out->Put(1, levelBits + layout.frameBits + 1);  // level 0, run 0, plus
    ++last;
  }
  // A block whose last coefficient is coded ends there, without the end code.
  if (last != count - 1) PutCode(codes, 1, out, bits);
  return bits;
}

}  // namespace

void EscapeCosts(const StreamLayout& layout, const CodedBlock& block, int channel,
                 std::vector<std::pair<int, int>>& costs) {
  costs.clear();
  const int table = TableOf(layout, block, channel);
  const CoefficientTable& codes = CoefficientTableAt(table);
  const PairCodes& pairs = PairCodesOf(table);
  const int escape = codes.lengths[0] + EscapeLevelBits(block.totalGain) + layout.frameBits;
  const std::vector<int>& levels = block.levels[channel];
  int run = 0;
  for (int i = 0; i < static_cast<int>(levels.size()); ++i) {
    const int magnitude = std::abs(levels[i]);
    if (magnitude == 0) {
      ++run;
      continue;
    }
    if (magnitude <= static_cast<int>(pairs.runs.size()) && run < pairs.runs[magnitude - 1]) {
      const int added = escape - codes.lengths[pairs.firstCode[magnitude - 1] + run];
      if (added > 0) costs.emplace_back(i, added);
    }
    run = 0;
  }
}

int EscapeLevelBits(int totalGain) {
  if (totalGain < 15) return 13;
  if (totalGain < 32) return 12;
  if (totalGain < 40) return 11;
  if (totalGain < 45) return 10;
  return 9;
}

std::size_t WriteBlock(const StreamLayout& layout, const CodedBlock& block, BitWriter* out) {
  std::size_t bits = 0;
  const auto put = [&](uint32_t value, int width) {
    bits += static_cast<std::size_t>(width);
    if (out != nullptr) out->Put(value, width);
  };
  if (layout.blockSizeBits > 0) put(static_cast<uint32_t>(block.nextSize), layout.blockSizeBits);
  const int channels = layout.channels;
  if (channels == 2) put(block.midSide ? 1 : 0, 1);
  bool any = false;
  for (int c = 0; c < channels; ++c) {
    put(block.coded[c] ? 1 : 0, 1);
    any = any || block.coded[c];
  }
  if (!any) return bits;
  // The total gain less one, in 7-bit pieces, where 127 says another piece follows.
  for (int gain = block.totalGain - 1;; gain -= 127) {
    put(static_cast<uint32_t>(std::min(gain, 127)), 7);
    if (gain < 127) break;
  }
  const BlockLayout& shape = layout.blocks[block.size];
  if (layout.noiseCoding) {
    // No band is noise-coded: every band's coefficients are sent. Noise of a band's own energy
    // in place of bands near their masking threshold was tried (the stream allows it only at
    // low rates: measured at 32 kbps 44.1 kHz and 24 kbps 22.05 kHz stereo) and made the
    // noise-to-mask ratio worse on speech, attacks and applause.
    for (int c = 0; c < channels; ++c)
      if (block.coded[c]) put(0, static_cast<int>(shape.highBands.size()));
  }
  // Short blocks may keep the exponents of the block before; these always send their own.
  if (block.size != 0) put(1, 1);
  for (int c = 0; c < channels; ++c) {
    if (!block.coded[c]) continue;
    int last = 36;
    for (const int exponent : block.exponents[c]) {
      const int code = exponent - last + 60;
      put(kScalefactorCodes[code], kScalefactorBits[code]);
      last = exponent;
    }
  }
  const int levelBits = EscapeLevelBits(block.totalGain);
  for (int c = 0; c < channels; ++c) {
    if (!block.coded[c]) continue;
    bits += CoefficientBits(layout, TableOf(layout, block, c), block.levels[c], shape.codedEnd,
                            levelBits, block.stuffing[c], block.escaped[c], out);
  }
  return bits;
}

int StuffingRoom(const std::vector<int>& levels) {
  int last = -1;
  for (int i = 0; i < static_cast<int>(levels.size()); ++i)
    if (levels[i] != 0) last = i;
  return static_cast<int>(levels.size()) - 1 - last;
}

int StuffingBits(const StreamLayout& layout, const CodedBlock& block, int channel) {
  return CoefficientTableAt(TableOf(layout, block, channel)).lengths[0] +
         EscapeLevelBits(block.totalGain) + layout.frameBits + 1;
}

}  // namespace wmvcore::wmav2
