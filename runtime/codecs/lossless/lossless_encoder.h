// The lossless encoder behind the writer's encoder interface: segments of whole frames coded on
// any thread (each from a seekable frame, so a segment's frames depend on its audio alone), and
// a packer on the caller's thread that lays the frames into the stream's fixed-size packets.
// With the check on (WMAFILTER_LOSSLESS_CHECK set to anything but "0"), the packer decodes
// every packet again with libavcodec as it writes it, in stream order, against the input that
// the coders leave for it, and the first difference fails the encoding (the tests run with it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/stream_encoder.h"

namespace wmvcore {

inline constexpr WORD kLosslessTag = 0x0163;

// 16- or 24-bit, 1 to 6 channels, 8 to 96 kHz; null otherwise. The check as the setting asks.
std::unique_ptr<StreamEncoder> OpenLosslessEncoder(const WaveFormat& stream);
std::unique_ptr<StreamEncoder> OpenLosslessEncoder(const WaveFormat& stream, bool check);

// Codes `frames` interleaved sample frames (each sample in the stream's width) on the caller's
// thread, in segments as the writer's segmenter cuts them, and writes the stream's packets to
// `sink`: for programs that hold the whole input (the tests, the bench).
HRESULT EncodeLossless(const StreamEncoder& encoder, const int32_t* interleaved, std::size_t frames,
                       PayloadSink& sink);

}  // namespace wmvcore
