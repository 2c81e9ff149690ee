// This runtime's own Windows Media Audio Professional encoder (format tag 0x0162), behind the
// writer's encoder interface: a sine-windowed transform a frame, scale factors on the format's
// bands from a masking model, mid/side or left/right chosen a frame, vector-coded
// coefficients, and a bit reservoir that spends each segment's share of the declared rate to
// within a few bits, the frames running on from packet to packet behind their lengths.
// With WMAFILTER_PRO_CHECK set (to anything but "0"), every segment's frames are decoded again
// with libavcodec as they are coded and compared with the encoder's own reconstruction; the
// first difference fails the encoding (the tests run with it).
#pragma once

#include <memory>

#include "codecs/stream_encoder.h"

namespace wmvcore {

inline constexpr WORD kProfessionalTag = 0x0162;

// 16- or 24-bit, mono or stereo, 32 to 96 kHz, constant rate; null otherwise.
std::unique_ptr<StreamEncoder> OpenWmaProEncoder(const WaveFormat& stream);

}  // namespace wmvcore
