// Codes frames: a frame is one tile of every channel behind a small header; the first frame of
// each segment is seekable, with tools chosen for the segment, so that segments are coded
// independently (on any thread) and give the same bits as one coder running through them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/lossless/stream_format.h"
#include "codecs/lossless/tools.h"
#include "codecs/shared/bit_writer.h"

namespace wmvcore::lossless {

// A coded frame, whole: its length in bits (in CarriedBitsField bits, counting itself), its
// tile, a bit the decoder passes over, and a last bit that says another frame follows (set
// here; the packetizer clears it in the stream's last frame).
struct CodedFrame {
  BitWriter bits;
  bool seekable = false;
};

class FrameCoder {
 public:
  static std::unique_ptr<FrameCoder> Create(const StreamFormat& format);
  virtual ~FrameCoder() = default;

  // Codes `length` samples of each channel (`planar[c]`) as one segment: whole frames, and a
  // last frame cut short when `length` is not a multiple of the frame (its other samples are
  // dropped by the decoder). Reuses the frames of `out`.
  virtual void CodeSegment(const int32_t* const* planar, int length,
                           std::vector<CodedFrame>& out) = 0;
};

// The tools for a segment, chosen from its first samples.
Tools ChooseTools(const StreamFormat& format, const int32_t* const* planar, int length);

}  // namespace wmvcore::lossless
