#include "codecs/wmapro/stream_format.h"

#include <cmath>

#include "codecs/shared/codec_data.h"

#include "codecs/wmapro/tables.h"

namespace wmvcore::wmapro {
namespace {

// Every frame starts with its length (0x40), which lets a packet end in filling that the
// decoder passes over. Blocks down to an eighth of a frame (log2 of it in 0x38). No dynamic
// range control (0x80) and the rate's own frame length (0x06 clear).
constexpr uint16_t kLengthPrefix = 0x40;
constexpr int kSubframesShift = 3;

// Frames a packet holds at the declared rate: enough that a frame may take several times its
// share and still be counted by the length prefix, few enough that the stream's last packet,
// which is padded, is short.
constexpr int kFramesPerPacket = 4;

}  // namespace

bool IsEncodable(const StreamFormat& format) {
  if (format.channels < 1 || format.channels > kMaxChannels) return false;
  if (format.bitsPerSample != 16 && format.bitsPerSample != 24) return false;
  if (format.sampleRate < 32000 || format.sampleRate > 96000) return false;
  const int bytes = PacketBytes(format);
  // A packet must hold its header and a useful frame; its size is a 16-bit field.
  return format.bitRate >= 16000 * format.channels && bytes >= 256 && bytes <= 0xFFFF;
}

int FrameSamples(const StreamFormat& format) { return format.sampleRate <= 48000 ? 2048 : 4096; }

int PacketBytes(const StreamFormat& format) {
  const double frameBits =
      static_cast<double>(format.bitRate) * FrameSamples(format) / format.sampleRate;
  return static_cast<int>(std::lround(frameBits * kFramesPerPacket / 8));
}

int LengthField(const StreamFormat& format) {
  return FloorLog2(static_cast<uint64_t>(PacketBytes(format))) + 4;
}

// The decoder stops at the end bit of the stream's last frame: filling after it is not read.
PacketLayout PacketLayoutOf(const StreamFormat& format) {
  return PacketLayout{PacketBytes(format), LengthField(format), false, false};
}

int TrimField(const StreamFormat& format) {
  return FloorLog2(2 * static_cast<uint64_t>(FrameSamples(format)));
}

int QuantStepBase(const StreamFormat& format) { return 90 * format.bitsPerSample >> 4; }

uint16_t DecodeFlags(const StreamFormat&) {
  return static_cast<uint16_t>(kLengthPrefix | FloorLog2(kMaxSubframes) << kSubframesShift);
}

std::array<uint8_t, 18> CodecData(const StreamFormat& format) {
  return FeatureCodecData(format.bitsPerSample, format.channelMask, DecodeFlags(format));
}

std::vector<int> BandEdges(const StreamFormat& format, int length) {
  // Each critical frequency's place in the block, rounded down to four coefficients; a band
  // ends at the first that passes the one before, the last at the block's end.
  std::vector<int> edges{0};
  for (const uint16_t hertz : kCriticalFrequencies) {
    int edge = static_cast<int>((static_cast<int64_t>(length) * 2 * hertz) / format.sampleRate + 2);
    edge &= ~3;
    if (edge > edges.back()) edges.push_back(edge);
    if (edge >= length) break;
  }
  edges.back() = length;
  return edges;
}

}  // namespace wmvcore::wmapro
