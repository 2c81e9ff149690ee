// The bit reservoir of one segment of a constant-rate stream: what its frames so far left of
// their share, which the frames after may spend. Each frame gets a target that follows its
// perceptual entropy against the segment's running mean and leans on the reservoir to keep
// about a frame's share in hand (less towards the segment's end), within the bits it may take:
// at least what the frames after it could not spend at (nearly) their most, so that the
// segment spends its share to the bit, and the segment's last frame takes all that is left.
// The segment's share is its own, whatever came before it, so its frames depend on its audio
// alone, on any thread.
#pragma once

#include <cstddef>
#include <optional>

namespace wmvcore::wmav2 {

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

// A frame's fewest bits are a packet's payload over this: at most eleven whole frames then fit
// a packet, twelve with the one that ends in it from the packet before, within the fifteen
// its 4-bit frame count can say.
inline constexpr int kLeastFrameShare = 12;

// What one frame may spend: its target, and the range it must land in.
struct FrameAllowance {
  std::size_t fewest = 0;
  std::size_t target = 0;
  std::size_t most = 0;
};

class Reservoir {
 public:
  Reservoir(const FrameBudget& budget, std::size_t segmentBits, std::size_t frames)
      : budget_(budget), segmentBits_(segmentBits), frames_(frames) {}

  // The bits of the segment's next frame, whose perceptual entropy is `entropy`.
  FrameAllowance Next(double entropy);
  // What the frame took.
  void Spend(std::size_t bits) {
    spent_ += bits;
    ++frame_;
  }

 private:
  FrameBudget budget_;
  std::size_t segmentBits_;
  std::size_t frames_;
  std::size_t frame_ = 0;
  std::size_t spent_ = 0;
  double meanEntropy_ = 0;
};

}  // namespace wmvcore::wmav2
