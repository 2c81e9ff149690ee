#include "stream_format.h"

namespace wmvcore::lossless {

namespace {

// Feature flags: 0x100 marks the later revision of the bitstream (a flag for linear prediction
// in every tile, which is always off here, and update-speed changes over the filters' current
// window); 0x01 is set in every stream of the format we have seen and has no effect on how the
// decoder reads one. 0x40: each frame starts with its length, which lets a segment's last
// packet end in filling the decoder passes over (packetizer.h). No dynamic range control
// (0x80), one tile a frame (0x38 zero), the rate's own frame length (0x06 zero).
constexpr uint16_t kDecodeFlags = 0x0141;

int Log2(unsigned value) {
  int log = 0;
  while (value >>= 1) ++log;
  return log;
}

}  // namespace

bool IsEncodable(const StreamFormat& format) {
  return (format.bitsPerSample == 16 || format.bitsPerSample == 24) && format.channels >= 1 &&
         format.channels <= kMaxChannels && format.sampleRate >= 8000 && format.sampleRate <= 96000;
}

int SamplesPerFrame(const StreamFormat& format) {
  if (format.sampleRate <= 16000) return 512;
  if (format.sampleRate <= 22050) return 1024;
  if (format.sampleRate <= 48000) return 2048;
  return 4096;
}

int SkipCountBits(const StreamFormat& format) { return Log2(SamplesPerFrame(format) * 2u); }

int PacketBytes(const StreamFormat& format) {
  // About one frame of raw samples: small enough that the decoder's buffer holds a packet and a
  // frame beside it (it holds 32 KiB a channel), large enough that headers cost little.
  return SamplesPerFrame(format) * format.channels * (format.bitsPerSample / 8);
}

int CarriedBitsField(const StreamFormat& format) {
  return Log2(static_cast<unsigned>(PacketBytes(format))) + 4;
}

uint16_t DecodeFlags() { return kDecodeFlags; }

std::array<uint8_t, 18> CodecData(const StreamFormat& format) {
  std::array<uint8_t, 18> data{};
  data[0] = static_cast<uint8_t>(format.bitsPerSample);
  for (int byte = 0; byte < 4; ++byte)
    data[2 + byte] = static_cast<uint8_t>(format.channelMask >> (8 * byte));
  data[14] = static_cast<uint8_t>(kDecodeFlags & 0xFF);
  data[15] = static_cast<uint8_t>(kDecodeFlags >> 8);
  return data;
}

}  // namespace wmvcore::lossless
