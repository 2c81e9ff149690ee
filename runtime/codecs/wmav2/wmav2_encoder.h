// This runtime's own Windows Media Audio v2 encoder (format tag 0x0161), behind the writer's
// encoder interface: a sine-windowed transform a frame, exponents a band from a masking
// model, mid/side or left/right chosen a block, run-level coding with the format's tables, and
// a total gain searched to fit each frame into its packet.
#pragma once

#include <memory>

#include "codecs/stream_encoder.h"

namespace wmvcore {

std::unique_ptr<StreamEncoder> OpenWmaV2Encoder(const WaveFormat& stream);

}  // namespace wmvcore
