// The runtime's lossless encoder against libavcodec's decoder: every packet is decoded again as
// the packer writes it, in stream order (the encoder's check), for every width, channel count
// and rate it takes, lengths around a frame, and signals that stress each part of the coder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/lossless/frame_coder.h"
#include "codecs/lossless/lossless_encoder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/shared/bit_writer.h"

namespace wmvcore::lossless {
namespace {

enum class Signal { kMusic, kNoise, kSilence, kExtremes, kZeroLowBits };

const char* Name(Signal signal) {
  switch (signal) {
    case Signal::kMusic:
      return "music";
    case Signal::kNoise:
      return "noise";
    case Signal::kSilence:
      return "silence";
    case Signal::kExtremes:
      return "extremes";
    case Signal::kZeroLowBits:
      return "zerolowbits";
  }
  return "?";
}

// Interleaved samples of `signal`: music is chords of decaying harmonics with a little noise,
// different in each channel; extremes swing between the width's limits and sit on them.
std::vector<int32_t> Make(Signal signal, const StreamFormat& format, std::size_t frames) {
  const auto channels = static_cast<std::size_t>(format.channels);
  std::vector<int32_t> samples(frames * channels);
  const int32_t top = (1 << (format.bitsPerSample - 1)) - 1;
  uint32_t seed = 12345;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int32_t>(seed >> 8);
  };
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / format.sampleRate;
    for (std::size_t c = 0; c < channels; ++c) {
      int32_t value = 0;
      switch (signal) {
        case Signal::kZeroLowBits:  // music with its low bits zero, then not (the last frame)
        case Signal::kMusic: {
          double sum = 0;
          const double notes[] = {220.0, 277.18, 329.63};
          for (double note : notes)
            for (int h = 1; h <= 6; ++h)
              sum += std::sin(2 * M_PI * note * h * (1 + 0.002 * c) * t) / h;
          const double envelope = 0.3 + 0.25 * std::exp(-std::fmod(t, 0.5) * 6);
          value = static_cast<int32_t>(sum * envelope * top / 4) + (random() % 64 - 32);
          break;
        }
        case Signal::kNoise:
          value = random() % (top + 1);
          break;
        case Signal::kSilence:
          value = 0;
          break;
        case Signal::kExtremes: {
          const std::size_t phase = (i / 7 + c) % 4;
          value = phase == 0   ? top
                  : phase == 1 ? -top - 1
                  : phase == 2 ? (i % 2 ? top : -top - 1)
                               : -top - 1;
          break;
        }
      }
      if (signal == Signal::kZeroLowBits && i + 2048 < frames) value &= ~0xFF;
      samples[i * channels + c] = std::clamp(value, -top - 1, top);
    }
  }
  return samples;
}

class Collect final : public PayloadSink {
 public:
  HRESULT Write(const Payload& payload) override {
    packets.emplace_back(payload.data, payload.data + payload.size);
    return S_OK;
  }
  std::vector<std::vector<uint8_t>> packets;
};

// Codes `input` with the runtime's encoder, its check on.
HRESULT Encode(const StreamFormat& format, const std::vector<int32_t>& input, Collect& out) {
  WaveFormat stream;
  stream.formatTag = kLosslessTag;
  stream.channels = static_cast<WORD>(format.channels);
  stream.samplesPerSec = static_cast<DWORD>(format.sampleRate);
  stream.bitsPerSample = static_cast<WORD>(format.bitsPerSample);
  const auto encoder = OpenLosslessEncoder(stream, true);
  if (!encoder) return E_FAIL;
  return EncodeLossless(*encoder, input.data(),
                        input.size() / static_cast<std::size_t>(format.channels), out);
}

struct Row {
  int bits;
  int channels;
  int rate;
  std::size_t frames;
  Signal signal;
};

std::string RowName(const testing::TestParamInfo<Row>& info) {
  const Row& row = info.param;
  return std::to_string(row.bits) + "bit_" + std::to_string(row.channels) + "ch_" +
         std::to_string(row.rate) + "_" + std::to_string(row.frames) + "_" + Name(row.signal);
}

std::vector<Row> Table() {
  std::vector<Row> rows;
  for (int bits : {16, 24})
    for (int channels : {1, 2, 6})
      for (int rate : {44100, 48000, 88200, 96000}) {
        for (std::size_t frames : {1, 2047, 2048, 2049})
          rows.push_back({bits, channels, rate, frames, Signal::kMusic});
        rows.push_back(
            {bits, channels, rate, static_cast<std::size_t>(rate) * 3 / 2, Signal::kMusic});
      }
  for (int bits : {16, 24})
    for (int channels : {1, 2})
      for (Signal signal :
           {Signal::kNoise, Signal::kSilence, Signal::kExtremes, Signal::kZeroLowBits})
        for (std::size_t frames : {4095, 200000})
          rows.push_back({bits, channels, 44100, frames, signal});
  return rows;
}

class LosslessEncoderTest : public testing::TestWithParam<Row> {};

TEST_P(LosslessEncoderTest, DecodesToTheInput) {
  const Row& row = GetParam();
  StreamFormat format{row.rate, row.channels, row.bits, 0};
  const auto input = Make(row.signal, format, row.frames);
  Collect out;
  ASSERT_EQ(Encode(format, input, out), S_OK);
  for (const auto& packet : out.packets)
    EXPECT_EQ(packet.size(), static_cast<std::size_t>(PacketBytes(format)));
}

INSTANTIATE_TEST_SUITE_P(Table, LosslessEncoderTest, testing::ValuesIn(Table()), RowName);

// Bits appended from any offset to any offset land where they were, whatever the alignment on
// either side: packets take frames at every bit position.
TEST(LosslessBits, AppendKeepsEveryBitAtAnyAlignment) {
  BitWriter source;
  uint32_t seed = 7;
  std::vector<int> bits;
  for (int i = 0; i < 700; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int count = static_cast<int>(seed >> 27) + 1;  // 1 to 32
    seed = seed * 1103515245u + 12345u;
    source.Put(seed, count);
    for (int b = count - 1; b >= 0; --b) bits.push_back(static_cast<int>((seed >> b) & 1));
  }
  source.PutUnary(40);
  for (int b = 0; b < 40; ++b) bits.push_back(1);
  bits.push_back(0);
  ASSERT_EQ(source.bits(), bits.size());
  for (std::size_t lead : {0, 1, 7, 8, 13}) {
    for (std::size_t first : {0, 3, 8, 61}) {
      for (std::size_t count : {0, 1, 9, 31, 32, 33, 300, 1000}) {
        BitWriter target;
        for (std::size_t i = 0; i < lead; ++i) target.Put(1, 1);
        target.Append(source, first, count);
        ASSERT_EQ(target.bits(), lead + count);
        const auto bytes = target.bytes();
        for (std::size_t i = 0; i < count; ++i) {
          const std::size_t at = lead + i;
          ASSERT_EQ((bytes[at / 8] >> (7 - at % 8)) & 1, bits[first + i])
              << lead << " " << first << " " << count << " " << i;
        }
      }
    }
  }
}

// Lengths that end a stream anywhere in its last packet: silence codes in a few dozen bits a
// frame, so some of these leave too little filling after the last frame for the decoder to
// refuse, and a packet of filling follows (each is decoded by the encoder's check).
TEST(LosslessEnds, EveryEndInAPacketDecodes) {
  const StreamFormat format{8000, 1, 16, 0};
  const std::vector<int32_t> silence(static_cast<std::size_t>(SamplesPerFrame(format)) * 330);
  int followed = 0;
  for (std::size_t frames = 1; frames <= 330; ++frames) {
    Collect out;
    const std::size_t length = frames * static_cast<std::size_t>(SamplesPerFrame(format)) - 7;
    ASSERT_EQ(Encode(format, std::vector<int32_t>(silence.begin(), silence.begin() + length), out),
              S_OK);
    // A packet of nothing but filling: its carried count covers it all, and it is all ones.
    const auto& last = out.packets.back();
    followed += std::all_of(last.begin() + 4, last.end(), [](uint8_t b) { return b == 0xFF; });
  }
  EXPECT_GT(followed, 0);
}

// A segment's frames depend on its audio alone: coders that have coded other segments before
// (as a worker's has, whatever the thread count) give the bits a fresh coder gives.
TEST(LosslessSegments, CodeAloneWhateverCameBefore) {
  for (int bits : {16, 24}) {
    const StreamFormat format{44100, 2, bits, 3};
    const int segment = SamplesPerFrame(format) * kFramesPerSegment;
    const auto input = Make(Signal::kMusic, format, static_cast<std::size_t>(segment) * 3);
    std::vector<std::vector<int32_t>> planar(2, std::vector<int32_t>(input.size() / 2));
    for (std::size_t i = 0; i < input.size() / 2; ++i) {
      planar[0][i] = input[2 * i];
      planar[1][i] = input[2 * i + 1];
    }
    auto code = [&](FrameCoder& coder, int index) {
      const int32_t* planes[] = {planar[0].data() + index * segment,
                                 planar[1].data() + index * segment};
      std::vector<CodedFrame> frames;
      coder.CodeSegment(planes, segment, frames);
      std::vector<std::vector<uint8_t>> bytes;
      for (const auto& frame : frames) bytes.push_back(frame.bits.bytes());
      return bytes;
    };
    auto worker = FrameCoder::Create(format);
    code(*worker, 0);
    code(*worker, 2);
    for (int index : {1, 0}) {
      auto fresh = FrameCoder::Create(format);
      EXPECT_EQ(code(*worker, index), code(*fresh, index)) << bits << "-bit segment " << index;
    }
  }
}

}  // namespace
}  // namespace wmvcore::lossless
