// The Professional encoder verified the way its files are played: its coder and packer driven
// as the writer's segmenter drives them (with the verify mode on, so that every segment is
// also decoded against the encoder's own reconstruction), the packets then decoded by
// libavcodec's wmapro decoder, which must take them without one error and give back the input.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "codecs/shared/packet_decoder.h"
#include "codecs/wmapro/bitstream.h"
#include "codecs/wmapro/stream_format.h"
#include "codecs/wmapro/wmapro_encoder.h"

namespace wmvcore {
namespace {

std::atomic<int> decoderErrors{0};

void CountErrors(void*, int level, const char*, va_list) {
  if (level <= AV_LOG_ERROR) ++decoderErrors;
}

// The torture shapes beside music-like sounds: DC at both extremes, Nyquist, lone impulses and a
// sweep to the top of the band, each of which drives some coding to its edge (escapes of the
// quantiser step, large levels, long runs).
enum class Sound {
  kTone,
  kNoise,
  kClicks,
  kSilence,
  kFullScale,
  kHighDc,
  kLowDc,
  kNyquist,
  kImpulses,
  kSweep
};

std::vector<std::vector<float>> MakeSound(Sound sound, int rate, int channels, int frames) {
  std::vector<std::vector<float>> planes(channels, std::vector<float>(frames));
  std::mt19937 random(11);
  std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i) {
      float& sample = planes[c][i];
      if (sound == Sound::kTone)
        sample = 0.5f *
                 static_cast<float>(std::sin(2 * std::numbers::pi * (440.0 + 220 * c) * i / rate));
      else if (sound == Sound::kNoise)
        sample = noise(random);
      else if (sound == Sound::kClicks)
        sample = i % (rate / 5) < 16 ? 0.9f : 0.0f;
      else if (sound == Sound::kFullScale)
        sample = (i / 50) % 2 ? 1.0f : -1.0f;
      else if (sound == Sound::kHighDc || sound == Sound::kLowDc)
        sample = sound == Sound::kHighDc ? 32767.0f / 32768 : -1.0f;
      else if (sound == Sound::kNyquist)
        sample = i % 2 ? 0.9f : -0.9f;
      else if (sound == Sound::kImpulses)
        sample = i % 3001 == 0 ? 1.0f : 0.0f;
      else if (sound == Sound::kSweep)
        sample = 0.7f * static_cast<float>(std::sin(std::numbers::pi * 20000.0 * i * i /
                                                    (static_cast<double>(frames) * rate)));
    }
  return planes;
}

struct Encoded {
  WaveFormat format;
  std::vector<std::vector<BYTE>> packets;
  std::vector<uint64_t> frameBits;
  std::vector<uint64_t> segmentBits;  // the frames' bits of each segment
  int64_t duration = 0;               // the packets' durations added up
};

class PacketList final : public PayloadSink {
 public:
  explicit PacketList(Encoded& encoded) : encoded_(encoded) {}
  HRESULT Write(const Payload& payload) override {
    encoded_.packets.emplace_back(payload.data, payload.data + payload.size);
    encoded_.duration += payload.duration;
    return S_OK;
  }

 private:
  Encoded& encoded_;
};

class FrameSink final : public PayloadSink {
 public:
  FrameSink(PayloadPacker& packer, PayloadSink& sink, Encoded& encoded)
      : packer_(packer), sink_(sink), encoded_(encoded) {}
  HRESULT Write(const Payload& frame) override {
    encoded_.frameBits.push_back(frame.bits);
    encoded_.segmentBits.back() += frame.bits;
    return packer_.Add(frame, sink_);
  }

 private:
  PayloadPacker& packer_;
  PayloadSink& sink_;
  Encoded& encoded_;
};

// Codes `planes` in segments as the segmenter cuts them, the last frame's filling told.
Encoded Encode(const std::vector<std::vector<float>>& planes, int rate, int kbps) {
  setenv("WMAFILTER_PRO_CHECK", "1", 1);
  WaveFormat request;
  request.formatTag = kProfessionalTag;
  request.channels = static_cast<WORD>(planes.size());
  request.samplesPerSec = static_cast<DWORD>(rate);
  request.bitsPerSample = 16;
  request.avgBytesPerSec = static_cast<DWORD>(kbps * 1000 / 8);
  const auto encoder = OpenWmaProEncoder(request);
  Encoded encoded;
  EXPECT_NE(encoder, nullptr);
  if (!encoder) return encoded;
  const EncoderShape& shape = encoder->shape();
  encoded.format = shape.format;
  const int length = shape.frameSamples;
  const int channels = static_cast<int>(planes.size());
  const int input = static_cast<int>(planes[0].size());
  const int frames = shape.leadingFrames + (input + length - 1) / length;
  const int filling = (frames - shape.leadingFrames) * length - input;
  const int priming = shape.primingFrames;
  std::vector<float> all(static_cast<std::size_t>(priming + frames) * channels * length, 0.0f);
  for (int i = 0; i < input; ++i) {
    const int at = shape.leadingFrames * length + i;
    const int frame = priming + at / length;
    for (int c = 0; c < channels; ++c)
      all[(static_cast<std::size_t>(frame) * channels + c) * length + at % length] = planes[c][i];
  }
  const auto coder = encoder->NewCoder();
  std::unique_ptr<PayloadPacker> packer;
  EXPECT_EQ(encoder->NewPacker(packer), S_OK);
  PacketList packets(encoded);
  FrameSink sink(*packer, packets, encoded);
  for (int first = 0; first < frames;) {
    SegmentAudio audio(all.data() + static_cast<std::size_t>(first) * channels * length, nullptr,
                       length, channels);
    const int full = shape.segmentFrames + shape.lookaheadFrames;
    const int coded = frames - first >= full ? shape.segmentFrames : frames - first;
    audio.priming = static_cast<std::size_t>(priming);
    audio.coded = static_cast<std::size_t>(coded);
    audio.lookahead = frames - first >= full ? static_cast<std::size_t>(shape.lookaheadFrames) : 0;
    audio.firstPts = static_cast<int64_t>(first) * length;
    audio.filling = first + coded == frames ? static_cast<std::size_t>(filling) : 0;
    encoded.segmentBits.push_back(0);
    EXPECT_EQ(coder->Code(audio, sink), S_OK);
    first += coded;
  }
  EXPECT_EQ(packer->Finish(packets), S_OK);
  return encoded;
}

// Decodes with libavcodec through the packet decoder the verify modes use; planar, as long as
// the decoder gives.
std::vector<std::vector<float>> Decode(const Encoded& encoded) {
  const PacketDecoder::Stream stream{
      AV_CODEC_ID_WMAPRO,        static_cast<int>(encoded.format.samplesPerSec),
      encoded.format.channels,   0,
      encoded.format.blockAlign, static_cast<int64_t>(encoded.format.avgBytesPerSec) * 8,
      encoded.format.extra};
  std::vector<std::vector<float>> planes(encoded.format.channels);
  const std::unique_ptr<PacketDecoder> decoder = PacketDecoder::Open(stream);
  EXPECT_TRUE(decoder);
  if (!decoder) return planes;
  const auto take = [&](const AVFrame& frame) {
    for (int c = 0; c < encoded.format.channels; ++c) {
      const auto* samples = reinterpret_cast<const float*>(frame.extended_data[c]);
      planes[c].insert(planes[c].end(), samples, samples + frame.nb_samples);
    }
    return true;
  };
  for (const auto& bytes : encoded.packets) {
    const std::vector<uint8_t> packet(bytes.begin(), bytes.end());
    EXPECT_TRUE(decoder->Decode(&packet, take)) << decoder->failure();
  }
  decoder->Decode(nullptr, take);
  return planes;
}

double SnrDb(const std::vector<float>& original, const std::vector<float>& decoded) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
    signal += double{original[i]} * original[i];
    noise += (double{original[i]} - decoded[i]) * (double{original[i]} - decoded[i]);
  }
  return 10 * std::log10(std::max(signal, 1e-30) / std::max(noise, 1e-30));
}

// Bits a packet's header says end the frame begun in the packet before.
uint32_t CarriedBits(const std::vector<BYTE>& packet, int field) {
  uint32_t count = 0;
  for (int bit = 6; bit < 6 + field; ++bit)
    count = count << 1 | ((packet[bit / 8] >> (7 - bit % 8)) & 1u);
  return count;
}

struct RoundTrip;
wmapro::StreamFormat StreamOf(const RoundTrip& row);

struct RoundTrip {
  const char* name;
  Sound sound;
  int rate;
  int channels;
  int kbps;
  int samples;
  // Against the input, as a guard against a gain or sign gone wrong (the coder shapes its
  // noise under the masking threshold, not for the least noise); 0 where not measured.
  double leastSnrDb;
};

wmapro::StreamFormat StreamOf(const RoundTrip& row) {
  return {row.rate, row.channels, 16, row.channels == 1 ? 4u : 3u, row.kbps * 1000};
}

class RoundTripTest : public testing::TestWithParam<RoundTrip> {};

// Every packet decodes without an error, the output is the input's length to the sample and
// near it, the packets hold the declared rate, and frames run on from packet to packet.
TEST_P(RoundTripTest, DecodesToTheInput) {
  const RoundTrip& row = GetParam();
  const auto input = MakeSound(row.sound, row.rate, row.channels, row.samples);
  const Encoded encoded = Encode(input, row.rate, row.kbps);
  ASSERT_FALSE(encoded.packets.empty());
  decoderErrors = 0;
  av_log_set_callback(CountErrors);
  const auto output = Decode(encoded);
  av_log_set_callback(av_log_default_callback);
  EXPECT_EQ(decoderErrors, 0);
  ASSERT_EQ(output.size(), input.size());
  for (int c = 0; c < row.channels; ++c) {
    EXPECT_EQ(output[c].size(), input[c].size()) << "channel " << c;
    if (row.leastSnrDb > 0) {
      EXPECT_GT(SnrDb(input[c], output[c]), row.leastSnrDb) << c;
    }
    if (row.sound == Sound::kSilence) {
      for (float sample : output[c]) ASSERT_LT(std::fabs(sample), 1e-6f);
    }
  }
  // Rate: no more packets than the declared rate allows for the frames coded (the leading
  // one included), plus the last, padded one.
  const int frameSamples = wmapro::FrameSamples(StreamOf(row));
  const double seconds = static_cast<double>(encoded.frameBits.size()) * frameSamples / row.rate;
  const double declaredBytes = row.kbps * 1000.0 / 8 * seconds;
  EXPECT_LE(static_cast<double>(encoded.packets.size() - 1) * encoded.format.blockAlign,
            declaredBytes * 1.001 + encoded.format.blockAlign);
  for (const auto& packet : encoded.packets) EXPECT_EQ(packet.size(), encoded.format.blockAlign);
  // Full segments spend their share to within the few bits stuffing cannot make exact.
  const double share = row.kbps * 1000.0 * frameSamples / row.rate *
                       static_cast<double>(PacketDataBits(wmapro::PacketLayoutOf(StreamOf(row)))) /
                       (8.0 * encoded.format.blockAlign);
  for (std::size_t s = 0; s + 1 < encoded.segmentBits.size(); ++s) {
    EXPECT_LE(static_cast<double>(encoded.segmentBits[s]), share * 64 + 1) << "segment " << s;
    EXPECT_GE(static_cast<double>(encoded.segmentBits[s]), share * 64 - 8) << "segment " << s;
  }
  // Frames span packets: some packet ends a frame that the one before began.
  if (encoded.packets.size() > 2) {
    const int field = wmapro::PacketLayoutOf(StreamOf(row)).carriedBitsField;
    int carried = 0;
    for (const auto& packet : encoded.packets) carried += CarriedBits(packet, field) > 0 ? 1 : 0;
    EXPECT_GT(carried, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RoundTripTest,
    testing::Values(RoundTrip{"Tone128", Sound::kTone, 44100, 2, 128, 44100 * 2, 18},
                    RoundTrip{"Tone64Mono", Sound::kTone, 44100, 1, 64, 30000, 15},
                    RoundTrip{"Noise96At48k", Sound::kNoise, 48000, 2, 96, 48000 * 3, 1},
                    RoundTrip{"Clicks192", Sound::kClicks, 44100, 2, 192, 44100, 10},
                    RoundTrip{"FullScale320", Sound::kFullScale, 44100, 2, 320, 20000, 10},
                    RoundTrip{"Silence", Sound::kSilence, 44100, 2, 128, 10000, 0},
                    RoundTrip{"OneSample", Sound::kTone, 44100, 2, 128, 1, 0},
                    RoundTrip{"OneFrameAndOne", Sound::kTone, 48000, 2, 64, 2049, 0},
                    RoundTrip{"SegmentAndOne", Sound::kNoise, 44100, 2, 384, 64 * 2048 + 1, 3},
                    RoundTrip{"HighDc64", Sound::kHighDc, 44100, 2, 64, 30000, 0},
                    RoundTrip{"LowDc384", Sound::kLowDc, 48000, 2, 384, 30000, 0},
                    RoundTrip{"Nyquist80", Sound::kNyquist, 44100, 2, 80, 20000, 0},
                    RoundTrip{"Impulses128Mono", Sound::kImpulses, 48000, 1, 128, 40000, 0},
                    RoundTrip{"Sweep160", Sound::kSweep, 44100, 2, 160, 88200, 10},
                    RoundTrip{"NoiseMonoPastASegment", Sound::kNoise, 44100, 1, 128, 65537, 1}),
    [](const testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wmvcore
