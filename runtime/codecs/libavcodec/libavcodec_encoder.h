// libavcodec's Windows Media Audio encoders behind the writer's encoder interface. Their
// packets depend only on their frame and the one before it (the transform's overlap), one
// packet a frame, with nothing held back at the end: a coder primed with the frame before a
// segment gives the packets that one encoder running through the whole stream gives, and one
// libavcodec encoder serves every segment of its thread.
#pragma once

#include <memory>

#include "codecs/stream_encoder.h"

namespace wmvcore {

std::unique_ptr<StreamEncoder> OpenLibavcodecWmaV1(const WaveFormat& stream);
std::unique_ptr<StreamEncoder> OpenLibavcodecWmaV2(const WaveFormat& stream);

}  // namespace wmvcore
