// Opening libavcodec's decoders and encoders, the one way the runtime opens each.
#pragma once

#include <cstdint>

#include "ffmpeg/ffmpeg_handles.h"

namespace wmvcore {

// A decoder of `codec` for the stream `parameters` describe, its packets stamped in `timebase`.
// A decoder that starts inside the stream (`inside`) leaves out the trim of the stream's first
// samples, which only the stream's first decoder has. Null when libavcodec refuses it.
CodecContextHandle OpenDecoder(const AVCodec& codec, const AVCodecParameters& parameters,
                               AVRational timebase, bool inside = false);

// An encoder of `codec` for this rate, channel count and bit rate, taking planar float and
// giving its codec data once, for the stream's format block; null when libavcodec refuses it.
CodecContextHandle OpenEncoder(const AVCodec& codec, int rate, int channels, int64_t bitRate);

}  // namespace wmvcore
