#include "codecs/wmav2/stuffing.h"

#include <algorithm>
#include <cstdlib>

namespace wmvcore::wmav2 {
namespace {

// The most bits a subset sum of escapes makes up (more are made up one escape after another),
// and the gap stuffing codes leave them: codes are 20 to 40 bits and an escape adds 5 to 30.
constexpr std::size_t kMostEscapedBits = 160;
constexpr std::size_t kEscapeSlack = 64;

// Escapes coefficients whose added bits come to `gap` exactly, when some do; whether they
// did. Coefficients are taken in turn while the gap stays above a few codes' worth; then a
// subset sum over the rest closes it: reach[s] is the coefficient that first made s bits
// reachable, so following it back names distinct coefficients.
bool EscapeExactly(const StreamLayout& layout, std::size_t gap, CodedBlock& block) {
  std::vector<std::pair<int, int>> options;  // (channel, coefficient) not yet escaped
  std::vector<int> added;
  std::vector<std::pair<int, int>> costs;
  std::array<std::vector<int>, 2> escaped;
  for (int c = 0; c < layout.channels; ++c) {
    if (!block.coded[c]) continue;
    EscapeCosts(layout, block, c, costs);
    for (const auto& [coefficient, bits] : costs) {
      if (gap > kMostEscapedBits && static_cast<std::size_t>(bits) <= gap) {
        escaped[c].push_back(coefficient);
        gap -= static_cast<std::size_t>(bits);
        continue;
      }
      options.emplace_back(c, coefficient);
      added.push_back(bits);
    }
  }
  if (gap > kMostEscapedBits) return false;
  const int target = static_cast<int>(gap);
  std::vector<int> reach(static_cast<std::size_t>(target) + 1, -1);
  reach[0] = static_cast<int>(options.size());
  for (int o = 0; o < static_cast<int>(options.size()) && reach[target] < 0; ++o)
    for (int s = target; s >= added[o]; --s)
      if (reach[s] < 0 && reach[s - added[o]] >= 0) reach[s] = o;
  if (reach[target] < 0) return false;
  for (int s = target; s > 0; s -= added[reach[s]]) {
    const auto [channel, coefficient] = options[reach[s]];
    escaped[channel].push_back(coefficient);
  }
  for (int c = 0; c < 2; ++c) {
    std::sort(escaped[c].begin(), escaped[c].end());
    block.escaped[c] = std::move(escaped[c]);
  }
  return true;
}

// Stuffing codes, as many as keep the block within `bits`; gives its bits.
std::size_t FillWithCodes(const StreamLayout& layout, std::size_t bits, CodedBlock& block) {
  block.stuffing = {};
  std::size_t size = WriteBlock(layout, block, nullptr);
  for (int c = 0; c < layout.channels && size < bits; ++c) {
    if (!block.coded[c]) continue;
    const int each = StuffingBits(layout, block, c);
    const int room = StuffingRoom(block.levels[c]);
    block.stuffing[c] = std::min(room, static_cast<int>((bits - size) / each));
    size = WriteBlock(layout, block, nullptr);
    // Filling a channel to its end drops its end code, which may leave it a few bits over.
    while (size > bits && block.stuffing[c] > 0) {
      --block.stuffing[c];
      size = WriteBlock(layout, block, nullptr);
    }
  }
  return size;
}

// Sets the highest coefficient of level one whose loss takes bits off the block to zero
// (where the run it ends joins the next one, a longer code may follow); whether there was one.
bool DropHighestOne(const StreamLayout& layout, CodedBlock& block) {
  const std::size_t before = WriteBlock(layout, block, nullptr);
  std::array<int, 2> from{};
  for (int c = 0; c < layout.channels; ++c) from[c] = static_cast<int>(block.levels[c].size());
  for (int tries = 0; tries < 8; ++tries) {
    int channel = -1;
    int highest = -1;
    for (int c = 0; c < layout.channels; ++c)
      for (int i = from[c] - 1; i > highest; --i)
        if (std::abs(block.levels[c][i]) == 1) {
          channel = c;
          highest = i;
          break;
        }
    if (channel < 0) return false;
    int& level = block.levels[channel][highest];
    const int kept = level;
    level = 0;
    if (WriteBlock(layout, block, nullptr) < before) return true;
    level = kept;
    from[channel] = highest;
  }
  return false;
}

// Raises exponents of bands whose levels are all zero, which changes the lengths of their
// codes and nothing the decoder makes of the block (where the stream has no noise coding,
// which would scale its noise by them, and below the channel's highest, which scales every
// band), each time the one change that comes closest to `bits` without passing it; gives the
// block's bits. What fills silence, or a block of escapes only, to the bit.
std::size_t RaiseQuietExponents(const StreamLayout& layout, std::size_t bits, std::size_t size,
                                CodedBlock& block) {
  if (layout.noiseCoding) return size;
  const std::vector<int>& widths = layout.blocks[block.size].exponentBands;
  for (int round = 0; round < 10 && size < bits; ++round) {
    int bestChannel = -1;
    std::size_t bestBand = 0;
    int bestExponent = 0;
    std::size_t bestSize = size;
    for (int c = 0; c < layout.channels; ++c) {
      if (!block.coded[c]) continue;
      std::vector<int>& exponents = block.exponents[c];
      const std::vector<int>& levels = block.levels[c];
      // A channel of zeros only may take any exponents the decoder reads.
      const bool silent =
          std::all_of(levels.begin(), levels.end(), [](int level) { return level == 0; });
      const int highest = silent ? 95 : *std::max_element(exponents.begin(), exponents.end());
      std::size_t position = 0;
      for (std::size_t b = 0; b < exponents.size(); ++b) {
        const std::size_t end =
            std::min(position + static_cast<std::size_t>(widths[b]), levels.size());
        const bool quiet = std::all_of(
            levels.begin() + static_cast<std::ptrdiff_t>(std::min(position, levels.size())),
            levels.begin() + static_cast<std::ptrdiff_t>(end),
            [](int level) { return level == 0; });
        position += static_cast<std::size_t>(widths[b]);
        if (!quiet) continue;
        const int kept = exponents[b];
        const int before = b > 0 ? exponents[b - 1] : 36;
        const int after = b + 1 < exponents.size() ? exponents[b + 1] : kept;
        for (int e = kept + 1; e <= std::min({highest, kept + 16, before + 60}) && after - e >= -60;
             ++e) {
          exponents[b] = e;
          const std::size_t trial = WriteBlock(layout, block, nullptr);
          if (trial <= bits && trial > bestSize) {
            bestChannel = c;
            bestBand = b;
            bestExponent = e;
            bestSize = trial;
          }
        }
        exponents[b] = kept;
      }
    }
    if (bestChannel < 0) break;
    block.exponents[bestChannel][bestBand] = bestExponent;
    size = bestSize;
  }
  return size;
}

}  // namespace

std::size_t Stuff(const StreamLayout& layout, std::size_t bits, CodedBlock& block) {
  std::size_t size = WriteBlock(layout, block, nullptr);
  if (size >= bits) return size;
  // A silent block codes its first channel, to carry the codes, where its exponents fit.
  if (!block.coded[0] && !block.coded[1]) {
    CodedBlock coded = block;
    coded.coded[0] = true;
    if (coded.midSide) coded.coded[1] = true;
    if (WriteBlock(layout, coded, nullptr) > bits) return size;
    block = std::move(coded);
  }
  // Codes to a few codes' worth short of `bits`, where escapes have many ways to make up the
  // rest to the bit; failing that, codes as close as they come, then one code fewer, two...
  // A gap too small for any escape, with no code to take back, is widened by dropping the
  // highest coefficient of level one.
  for (int widened = 0; widened < 16; ++widened) {
    for (const std::size_t slack : {kEscapeSlack, std::size_t{0}}) {
      size = FillWithCodes(layout, bits > slack ? bits - slack : 0, block);
      for (int tries = 0; size < bits && tries < 4; ++tries) {
        if (EscapeExactly(layout, bits - size, block)) return WriteBlock(layout, block, nullptr);
        int c = layout.channels - 1;
        while (c >= 0 && block.stuffing[c] == 0) --c;
        if (c < 0) break;
        --block.stuffing[c];
        size = WriteBlock(layout, block, nullptr);
      }
    }
    if (!DropHighestOne(layout, block)) break;
  }
  // Then raised exponents, with a code or two taken back where they cannot make up the rest.
  size = RaiseQuietExponents(layout, bits, FillWithCodes(layout, bits, block), block);
  for (int c = layout.channels - 1; c >= 0 && size < bits; --c)
    for (int tries = 0; tries < 2 && size < bits && block.stuffing[c] > 0; ++tries) {
      const CodedBlock kept = block;
      --block.stuffing[c];
      const std::size_t raised =
          RaiseQuietExponents(layout, bits, WriteBlock(layout, block, nullptr), block);
      if (raised == bits) return raised;
      block = kept;
    }
  return size;
}

}  // namespace wmvcore::wmav2
