// The lossless encoder of lossless/ behind the writer's encoder interface: segments of whole
// frames coded on any thread (each from a seekable frame, so a segment's frames depend on its
// audio alone), and a packer on the caller's thread that lays the frames into the stream's
// fixed-size packets. With WMAFILTER_LOSSLESS_CHECK set (to anything but "0"), every segment's
// frames are decoded again with libavcodec as they are coded and the first difference fails
// the encoding (the tests run with it).
#pragma once

#include <memory>

#include "codecs/stream_encoder.h"

namespace wmvcore {

inline constexpr WORD kLosslessTag = 0x0163;

// 16- or 24-bit, 1 to 6 channels, 8 to 96 kHz; null otherwise.
std::unique_ptr<StreamEncoder> OpenLosslessEncoder(const WaveFormat& stream);

}  // namespace wmvcore
