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
// (0x80), one tile a frame (0x38 zero); the rate's own frame length or half of it (0x06).
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

// Whether the frames are half the rate's length (flag 0x04): where a frame of raw samples would
// pass the largest packet, since a frame's length field holds at most 16 packets' worth of bits
// and the decoder's buffer a packet and a frame.
bool HalfFrames(const StreamFormat& format) {
  return RateFrameSamples(format.sampleRate) * format.channels * (format.bitsPerSample / 8) >
         kMaxPacketBytes;
}

}  // namespace

int SamplesPerFrame(const StreamFormat& format) {
  const int samples = RateFrameSamples(format.sampleRate);
  return HalfFrames(format) ? samples / 2 : samples;
}

int SkipCountBits(const StreamFormat& format) { return FloorLog2(SamplesPerFrame(format) * 2u); }

int PacketBytes(const StreamFormat& format) {
  // About one frame of raw samples: small enough that the decoder's buffer holds a packet and a
  // frame beside it (it holds 32 KiB a channel), large enough that headers cost little.
  return std::min(SamplesPerFrame(format) * format.channels * (format.bitsPerSample / 8),
                  kMaxPacketBytes);
}

int CarriedBitsField(const StreamFormat& format) {
  return FloorLog2(static_cast<unsigned>(PacketBytes(format))) + 4;
}

PacketLayout PacketLayoutOf(const StreamFormat& format) {
  return PacketLayout{PacketBytes(format), CarriedBitsField(format)};
}

uint16_t DecodeFlags(const StreamFormat& format) {
  return static_cast<uint16_t>(kDecodeFlags | (HalfFrames(format) ? 0x04 : 0));
}

std::array<uint8_t, 18> CodecData(const StreamFormat& format) {
  return FeatureCodecData(format.bitsPerSample, format.channelMask, DecodeFlags(format));
}

}  // namespace wmvcore::lossless
