#include "codecs/wmav2/reservoir.h"

#include <algorithm>
#include <cmath>

namespace wmvcore::wmav2 {
namespace {

// The running mean of the frames' perceptual entropy keeps this much of itself a frame and
// takes this much of the new frame's: a memory of about ten frames (a quarter to half a second
// at 44.1 kHz), long enough that an attack stands out against it, short enough to follow the
// music.
constexpr double kEntropyKept = 0.9;
constexpr double kEntropyTaken = 0.1;
// A frame's share of the nominal bits, however far its entropy is from the mean: the square
// root of their ratio, kept within these.
constexpr double kLeanest = 0.85;
constexpr double kRichest = 1.6;
// What the reservoir holds beyond what it should keep in hand, a frame spends this part of
// (or, below it, saves this part of what is missing): enough to lend to an attack over a few
// frames, little enough that one rich frame does not empty it.
constexpr double kLending = 0.3;
// The reservoir keeps a frame's share in hand until this many frames before the segment's
// end, and less and less after, so that it is empty at the end.
constexpr double kKeptUntilFramesLeft = 8;
// The frames after this one are counted at their most less this part of it when the floor
// of this one is set: room for a frame that falls short of its floor, where stuffing cannot
// fill it to the bit.
constexpr std::size_t kShortfallShare = 8;

}  // namespace

FrameAllowance Reservoir::Next(double entropy) {
  const double nominal = budget_.nominal;
  meanEntropy_ =
      frame_ == 0 ? std::max(entropy, 1.0) : kEntropyKept * meanEntropy_ + kEntropyTaken * entropy;
  const std::size_t left = frames_ - frame_ - 1;
  const std::size_t remaining = segmentBits_ - std::min(spent_, segmentBits_);
  const double saved = static_cast<double>(remaining) - nominal * static_cast<double>(left + 1);
  const double allowance = nominal + saved;
  FrameAllowance bits;
  bits.most = std::min(budget_.most, static_cast<std::size_t>(std::max(0.0, allowance)));
  // What the frames after this one can spend at their most.
  const std::size_t after = left * (budget_.most - budget_.most / kShortfallShare);
  bits.fewest =
      std::min(bits.most, std::max(budget_.least, remaining > after ? remaining - after : 0));
  const double wanted = nominal * std::min(1.0, static_cast<double>(left) / kKeptUntilFramesLeft);
  const double share =
      std::clamp(std::sqrt(std::max(entropy, 1.0) / meanEntropy_), kLeanest, kRichest);
  double target = nominal * share + kLending * (saved - wanted);
  if (left == 0) target = static_cast<double>(bits.most);
  bits.target = static_cast<std::size_t>(
      std::clamp(target, static_cast<double>(bits.fewest), static_cast<double>(bits.most)));
  return bits;
}

}  // namespace wmvcore::wmav2
