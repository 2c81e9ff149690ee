// What a lossless stream is: its rate, channels and sample width, and what follows from them for
// the bitstream (frame length, packet size) and for the format's extra bytes, which the decoder
// reads at its start.
#pragma once

#include <array>
#include <cstdint>

#include "codecs/shared/packetizer.h"

namespace wmvcore::lossless {

struct StreamFormat {
  int sampleRate = 44100;
  int channels = 2;
  int bitsPerSample = 16;    // 16 or 24
  uint32_t channelMask = 0;  // the speakers, as WAVEFORMATEXTENSIBLE names them; 0: unnamed
};

inline constexpr int kMaxChannels = 6;
// Frames a segment: the tools are chosen, and the filters start over, this often.
inline constexpr int kFramesPerSegment = 32;
// A packet's size is a 16-bit field of the format.
inline constexpr int kMaxPacketBytes = 32768;

// Whether the encoder takes `format`.
bool IsEncodable(const StreamFormat& format);

// Samples a channel in each frame: the decoder's own choice for the rate.
int SamplesPerFrame(const StreamFormat& format);
// The bits of a frame's end-skip count.
int SkipCountBits(const StreamFormat& format);
// The fixed size of every packet, in bytes (the format's block alignment).
int PacketBytes(const StreamFormat& format);
// The bits of a packet header's count of bits that end the frame begun before it.
int CarriedBitsField(const StreamFormat& format);
// The two together, as the packet layer takes them.
PacketLayout PacketLayoutOf(const StreamFormat& format);
// The decoder's feature flags for a stream this encoder writes.
uint16_t DecodeFlags(const StreamFormat& format);
// The 18 extra bytes of the format (cbSize 18 after the WAVEFORMATEX).
std::array<uint8_t, 18> CodecData(const StreamFormat& format);

}  // namespace wmvcore::lossless
