// The lossless encoder: interleaved samples in, fixed-size packets out. Input is gathered into
// segments of whole frames, each coded on its own from a seekable frame (frame_coder.h), and
// the frames are laid into packets in order (packetizer.h). Memory stays flat in the length:
// one segment of input, its frames, and less than a packet of bits. With `verify`, each packet
// is decoded again as it is written (decode_check.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/lossless/decode_check.h"
#include "codecs/lossless/frame_coder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/shared/packetizer.h"

namespace wmvcore::lossless {

// Frames a segment: the tools are chosen, and the filters start over, this often.
inline constexpr int kFramesPerSegment = 32;

class Encoder {
 public:
  // Null for a format it does not take, or, with `verify`, when no decoder is at hand.
  static std::unique_ptr<Encoder> Create(const StreamFormat& format, bool verify);

  // Takes `frames` sample frames, each channel's sample in the format's width.
  bool Write(const int32_t* interleaved, std::size_t frames, PacketOut& out);
  bool Finish(PacketOut& out);
  // Why Write or Finish gave false: the check's report, or empty when `out` refused.
  const std::string& failure() const { return failure_; }
  uint64_t packets() const { return packets_.packets(); }

 private:
  explicit Encoder(const StreamFormat& format);
  bool CodeSegment(PacketOut& out);

  StreamFormat format_;
  int segmentLength_;
  std::unique_ptr<FrameCoder> coder_;
  Packetizer packets_;
  std::unique_ptr<DecodeCheck> check_;
  std::vector<std::vector<int32_t>> segment_;
  std::vector<const int32_t*> planes_;
  int filled_ = 0;
  std::vector<CodedFrame> frames_;
  std::string failure_;
};

}  // namespace wmvcore::lossless
