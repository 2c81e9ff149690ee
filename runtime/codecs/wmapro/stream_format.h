// What a Professional stream is (its rate, channels, sample width and bit rate) and what follows
// from that for the bitstream: the frame length, the packets' size, the fields whose widths
// the packet size sets, the scale factor bands of each block length, and the format's extra
// bytes, which tell the decoder which of the bitstream's features the stream uses.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codecs/shared/packetizer.h"

namespace wmvcore::wmapro {

struct StreamFormat {
  int sampleRate = 44100;
  int channels = 2;
  int bitsPerSample = 16;
  uint32_t channelMask = 0;  // the speakers, as WAVEFORMATEXTENSIBLE names them
  int64_t bitRate = 128000;  // bits per second, packet headers included
};

inline constexpr int kMaxChannels = 2;
// A frame is tiled into at most this many blocks a channel (the shortest an eighth of it).
inline constexpr int kMaxSubframes = 8;

// Whether the encoder takes `format`.
bool IsEncodable(const StreamFormat& format);

// Samples a channel in each frame: the decoder's choice for the rate.
int FrameSamples(const StreamFormat& format);
// The fixed size of every packet, in bytes (the format's block alignment).
int PacketBytes(const StreamFormat& format);
// The bits of a frame's length prefix, and of a packet header's count of bits that end the
// frame begun before it: both follow from the packet size.
int LengthField(const StreamFormat& format);
// The packets' layout, for the packet layer.
PacketLayout PacketLayoutOf(const StreamFormat& format);
// The bits of a frame's count of samples to drop at its start or end.
int TrimField(const StreamFormat& format);
// The quantiser step (dB) that a block's coded step counts from.
int QuantStepBase(const StreamFormat& format);
// The decoder's feature flags for a stream this encoder writes.
uint16_t DecodeFlags(const StreamFormat& format);
// The 18 extra bytes of the format (cbSize 18 after the WAVEFORMATEX).
std::array<uint8_t, 18> CodecData(const StreamFormat& format);

// The scale factor bands of a block of `length` coefficients: their edges, from 0 to `length`.
std::vector<int> BandEdges(const StreamFormat& format, int length);

}  // namespace wmvcore::wmapro
