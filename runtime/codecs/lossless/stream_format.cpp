#include "codecs/lossless/stream_format.h"

#include <algorithm>

#include "codecs/shared/codec_data.h"

namespace wmvcore::lossless {

namespace {

// Feature flags: 0x100 marks the later revision of the bitstream (a flag for linear prediction
// in every tile, which is always off here, and update-speed changes over the filters' current
// window); 0x01 is set in every stream of the format we have seen and has no effect on how the
// decoder reads one. 0x40: each frame starts with its length, which lets a segment's last
// packet end in filling the decoder passes over (packetizer.h). No dynamic range control
// (0x80), one tile a frame (0x38 zero); the rate's own frame length, half or a quarter of it
// (0x06).
constexpr uint16_t kDecodeFlags = 0x0141;

}  // namespace

bool IsEncodable(const StreamFormat& format) {
  return (format.bitsPerSample == 16 || format.bitsPerSample == 24) && format.channels >= 1 &&
         format.channels <= kMaxChannels && format.sampleRate >= 8000 && format.sampleRate <= 96000;
}

namespace {

int RateFrameSamples(int sampleRate) {
  if (sampleRate <= 16000) return 512;
  if (sampleRate <= 22050) return 1024;
  if (sampleRate <= 48000) return 2048;
  return 4096;
}

// The most a frame takes beside its samples stored raw: its length, header and trailing bits,
// and a seekable tile's tools (about 230 bits at six channels), with room to spare; and a
// packet's header. A packet this much larger than a frame of raw samples holds any frame whole,
// so that every packet ends a frame and has a duration.
constexpr int kFrameOverheadBytes = 64;

int RawFrameBytes(const StreamFormat& format, int samples) {
  return samples * format.channels * (format.bitsPerSample / 8);
}

// How many times the rate's frame length is halved (flags 0x04 once, 0x06 twice): until a frame
// of raw samples fits the largest packet, since a frame's length field holds at most 16
// packets' worth of bits and the decoder's buffer a packet and a frame.
int FrameHalvings(const StreamFormat& format) {
  int halvings = 0;
  while (halvings < 2 && RawFrameBytes(format, RateFrameSamples(format.sampleRate) >> halvings) +
                                 kFrameOverheadBytes >
                             kMaxPacketBytes)
    ++halvings;
  return halvings;
}

}  // namespace

int SamplesPerFrame(const StreamFormat& format) {
  return RateFrameSamples(format.sampleRate) >> FrameHalvings(format);
}

int SkipCountBits(const StreamFormat& format) { return FloorLog2(SamplesPerFrame(format) * 2u); }

int PacketBytes(const StreamFormat& format) {
  // A frame of raw samples and its overhead: small enough that the decoder's buffer holds a
  // packet and a frame beside it (it holds 32 KiB a channel), large enough that headers cost
  // little, and never smaller than a frame can be.
  return std::min(RawFrameBytes(format, SamplesPerFrame(format)) + kFrameOverheadBytes,
                  kMaxPacketBytes);
}

int CarriedBitsField(const StreamFormat& format) {
  return FloorLog2(static_cast<unsigned>(PacketBytes(format))) + 4;
}

PacketLayout PacketLayoutOf(const StreamFormat& format) {
  return PacketLayout{PacketBytes(format), CarriedBitsField(format)};
}

uint16_t DecodeFlags(const StreamFormat& format) {
  constexpr uint16_t kHalvingFlags[] = {0x00, 0x04, 0x06};
  return static_cast<uint16_t>(kDecodeFlags | kHalvingFlags[FrameHalvings(format)]);
}

std::array<uint8_t, 18> CodecData(const StreamFormat& format) {
  return FeatureCodecData(format.bitsPerSample, format.channelMask, DecodeFlags(format));
}

}  // namespace wmvcore::lossless
