// A Professional frame as its coder decided it, and how it is written: the frame's length, its
// tiling (every channel tiled alike), the samples its decode drops, then each block (subframe)
// in time order with its stereo coding, its quantiser step, each channel's scale factors and
// its coefficients, vector coded up to the last one that is not zero.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codecs/shared/bit_writer.h"
#include "codecs/wmapro/stream_format.h"

namespace wmvcore::wmapro {

struct CodedChannel {
  int quantStep = 0;              // dB, the step of its band of the largest scale factor
  std::vector<int> scaleFactors;  // a band; a band's step is quantStep less
                                  // (largest - its own) * scaleStep dB
  std::vector<int32_t> levels;    // the block's quantised coefficients
  // How the levels are coded, as ChooseCoding chose: vector-coded up to `vectorEnd`, then run
  // and level with table `runLevelTable`; -1: to be chosen as they are written.
  int vectorEnd = -1;
  int runLevelTable = 0;
};

// How far a scale factor may differ from the band before's.
inline constexpr int kMostScaleDifference = 60;
// How far a channel's step may pass the least of its block's.
inline constexpr int kMostStepDifference = 1 << 7;

struct CodedSubframe {
  int length = 0;
  // Mid and side (left = mid - side, right = mid + side), or left and right.
  bool midSide = false;
  int scaleStep = 1;  // dB a scale factor step, 1 to 4
  // Bits the block's header grows by to bring the frame to a given size, which the decoder
  // passes over: 0, or any count that StuffingFits.
  int stuffing = 0;
  std::array<CodedChannel, kMaxChannels> channels;
};

struct CodedFrame {
  std::vector<CodedSubframe> subframes;  // in time order, their lengths adding to the frame's
  int trimEnd = 0;                       // samples the decoder drops from the frame's end
};

// Writes `frame` whole: its length, its bits, and a last bit that says another frame follows.
void WriteFrame(const StreamFormat& format, const CodedFrame& frame, BitWriter& out);
// The bits WriteFrame writes.
uint64_t FrameBits(const StreamFormat& format, const CodedFrame& frame);

// Chooses how the channel's levels are coded (the fewest bits), once they are set.
void ChooseCoding(int length, CodedChannel& channel);

// The bits of one channel's coefficients (its levels), as WriteFrame writes them.
uint64_t CoefficientBits(const int32_t* levels, int length);

// Whether a block's header can grow by exactly `bits` (fill bits and their count): by 3 to 5,
// or by 7 up to kMostStuffing.
bool StuffingFits(int bits);
inline constexpr int kMostStuffing = 2 + 4 + 15 + (1 << 15);

}  // namespace wmvcore::wmapro
