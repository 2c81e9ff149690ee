// The Windows Media Audio v2 encoder's coder, verified the way its files are played: every
// payload it writes goes through libavcodec's wmav2 decoder, which must take it without one
// error, and what comes back must be the input.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <numbers>
#include <random>
#include <vector>

#include "codecs/wmav2/layout.h"
#include "codecs/wmav2/rate_control.h"
#include "codecs/wmav2/stuffing.h"
#include "codecs/wmav2/wmav2_encoder.h"
#include "ffmpeg/ffmpeg_handles.h"

namespace wmvcore {
namespace {

std::atomic<int> decoderErrors{0};

void CountErrors(void*, int level, const char*, va_list) {
  if (level <= AV_LOG_ERROR) ++decoderErrors;
}

enum class Sound { kTone, kNoise, kClicks, kSilence };

// `frames` sample frames a channel, planar.
std::vector<std::vector<float>> MakeSound(Sound sound, int rate, int channels, int frames) {
  std::vector<std::vector<float>> planes(channels, std::vector<float>(frames));
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 0.1f);
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i) {
      float& sample = planes[c][i];
      switch (sound) {
        case Sound::kTone:
          sample = 0.5f * static_cast<float>(
                              std::sin(2 * std::numbers::pi * (440.0 + 110 * c) * i / rate));
          break;
        case Sound::kNoise:
          sample = noise(random);
          break;
        case Sound::kClicks:
          sample = i % (rate / 4) < 20 ? 0.8f : 0.0f;
          break;
        case Sound::kSilence:
          break;
      }
    }
  return planes;
}

struct Encoded {
  WaveFormat format;
  std::vector<std::vector<BYTE>> payloads;
  int leading = 0;
  std::size_t frameLength = 0;
  std::vector<int> firstBlockSizes;    // a frame's first block size: 0 long, more shorter
  std::vector<std::size_t> frameBits;  // each frame's, as the coder hands it to the packer
  std::vector<int> segmentFrames;      // frames each segment coded
};

class PayloadList final : public PayloadSink {
 public:
  explicit PayloadList(std::vector<std::vector<BYTE>>& payloads) : payloads_(payloads) {}
  HRESULT Write(const Payload& payload) override {
    payloads_.emplace_back(payload.data, payload.data + payload.size);
    return S_OK;
  }

 private:
  std::vector<std::vector<BYTE>>& payloads_;
};

// Hands frames to the packer, noting each frame's length in bits and first block size (the
// low four bits of its block sizes).
class PackingSink final : public PayloadSink {
 public:
  PackingSink(PayloadPacker& packer, PayloadSink& sink, Encoded& encoded)
      : packer_(packer), sink_(sink), encoded_(encoded) {}
  HRESULT Write(const Payload& frame) override {
    encoded_.frameBits.push_back(static_cast<std::size_t>(frame.bits));
    encoded_.firstBlockSizes.push_back(frame.blockSizes & 15);
    return packer_.Add(frame, sink_);
  }

 private:
  PayloadPacker& packer_;
  PayloadSink& sink_;
  Encoded& encoded_;
};

// Codes `planes` as the writer's front end and segmenter would hand them over, in segments
// of the encoder's size; coded for `quality` when it is not 0.
Encoded Encode(const std::vector<std::vector<float>>& planes, int rate, int kbps, int quality = 0) {
  WaveFormat request;
  request.formatTag = 0x0161;
  request.channels = static_cast<WORD>(planes.size());
  request.samplesPerSec = static_cast<DWORD>(rate);
  request.avgBytesPerSec =
      quality != 0 ? QualityRate(quality) : static_cast<DWORD>(kbps * 1000 / 8);
  const auto encoder = OpenWmaV2Encoder(request);
  EXPECT_NE(encoder, nullptr);
  Encoded encoded;
  if (!encoder) return encoded;
  const EncoderShape& shape = encoder->shape();
  encoded.format = shape.format;
  encoded.leading = shape.leadingFrames;
  encoded.frameLength = static_cast<std::size_t>(shape.frameSamples);
  const int length = shape.frameSamples;
  const int channels = static_cast<int>(planes.size());
  const int input = static_cast<int>(planes[0].size());
  const int frames = shape.leadingFrames + (input + length - 1) / length;
  // Every frame of the stream, the first segment's priming silence ahead of them.
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
  PayloadList payloads(encoded.payloads);
  PackingSink sink(*packer, payloads, encoded);
  // Segments as the segmenter cuts them: a full one looks ahead, the stream's last codes all
  // that is left.
  for (int first = 0; first < frames;) {
    SegmentAudio audio(all.data() + static_cast<std::size_t>(first) * channels * length, nullptr,
                       length, channels);
    const int full = shape.segmentFrames + shape.lookaheadFrames;
    const int coded = frames - first >= full ? shape.segmentFrames : frames - first;
    audio.priming = static_cast<std::size_t>(priming);
    audio.coded = static_cast<std::size_t>(coded);
    audio.lookahead = frames - first >= full ? static_cast<std::size_t>(shape.lookaheadFrames) : 0;
    audio.firstPts = static_cast<int64_t>(first) * length;
    EXPECT_EQ(coder->Code(audio, sink), S_OK);
    encoded.segmentFrames.push_back(coded);
    first += coded;
  }
  EXPECT_EQ(packer->Finish(payloads), S_OK);
  return encoded;
}

// Decodes with libavcodec from payload `from` on, counting its errors; planar, as long as
// the decoder gives; `firstOutput`, when given, says how many samples the first payload gave.
std::vector<std::vector<float>> Decode(const Encoded& encoded, std::size_t from = 0,
                                       std::size_t* firstOutput = nullptr) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMAV2);
  CodecContextHandle context(avcodec_alloc_context3(codec));
  context->sample_rate = static_cast<int>(encoded.format.samplesPerSec);
  av_channel_layout_default(&context->ch_layout, encoded.format.channels);
  context->bit_rate = static_cast<int64_t>(encoded.format.avgBytesPerSec) * 8;
  context->block_align = encoded.format.blockAlign;
  context->extradata =
      static_cast<uint8_t*>(av_mallocz(encoded.format.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::copy(encoded.format.extra.begin(), encoded.format.extra.end(), context->extradata);
  context->extradata_size = static_cast<int>(encoded.format.extra.size());
  EXPECT_EQ(avcodec_open2(context.get(), codec, nullptr), 0);
  std::vector<std::vector<float>> planes(encoded.format.channels);
  PacketHandle packet(av_packet_alloc());
  FrameHandle frame(av_frame_alloc());
  const auto drain = [&] {
    while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
      for (int c = 0; c < encoded.format.channels; ++c) {
        const auto* samples = reinterpret_cast<const float*>(frame->extended_data[c]);
        planes[c].insert(planes[c].end(), samples, samples + frame->nb_samples);
      }
    }
  };
  for (std::size_t p = from; p < encoded.payloads.size(); ++p) {
    const auto& payload = encoded.payloads[p];
    av_new_packet(packet.get(), static_cast<int>(payload.size()));
    std::copy(payload.begin(), payload.end(), packet->data);
    EXPECT_EQ(avcodec_send_packet(context.get(), packet.get()), 0);
    av_packet_unref(packet.get());
    drain();
    if (p == from && firstOutput != nullptr) *firstOutput = planes[0].size();
  }
  avcodec_send_packet(context.get(), nullptr);
  drain();
  return planes;
}

double SnrDb(const std::vector<float>& original, const std::vector<float>& decoded) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
    signal += double{original[i]} * original[i];
    noise += (double{original[i]} - decoded[i]) * (double{original[i]} - decoded[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-30));
}

// Whether any packet finishes a frame that the packet before started: its bit offset, after
// the 4-bit packet number and 4-bit frame count, is not zero.
wmav2::StreamLayout LayoutOf(const Encoded& encoded) {
  const WaveFormat& format = encoded.format;
  return wmav2::StreamLayout::Make(static_cast<int>(format.samplesPerSec), format.channels,
                                   static_cast<int64_t>(format.avgBytesPerSec) * 8,
                                   static_cast<uint16_t>(format.extra[4] | format.extra[5] << 8));
}

bool FramesSpanPackets(const Encoded& encoded) {
  const auto layout = LayoutOf(encoded);
  const int offsetBits = layout.byteOffsetBits + 3;
  for (const auto& payload : encoded.payloads) {
    uint32_t offset = 0;
    for (int bit = 8; bit < 8 + offsetBits; ++bit)
      offset = offset << 1 | ((payload[bit / 8] >> (7 - bit % 8)) & 1);
    if (offset != 0) return true;
  }
  return false;
}

// Whether each segment's frames take its share of the declared rate: frames 0 to n take the
// rate's bits a frame, less the packets' headers and the block sizes ahead of each packet's
// first new frame, times n, rounded. The packets then hold the declared rate however long the
// stream, but for its last packet. A segment may fall short by less than a stuffing code
// (at most a 12-bit escape code, a 13-bit level, an 11-bit run and a sign), where nothing
// else can fill it (silence).
bool SegmentsSpendTheirShare(const Encoded& encoded) {
  constexpr int64_t kStuffingCode = 37;
  const auto layout = LayoutOf(encoded);
  const double frameBits = static_cast<double>(layout.bitRate) * layout.frameLength / layout.rate;
  const double packetBits = static_cast<double>(encoded.format.blockAlign) * 8;
  const double payloadBits =
      packetBits - (4 + 4 + layout.byteOffsetBits + 3) - 2 * layout.blockSizeBits;
  const double share = frameBits * payloadBits / packetBits;
  int64_t first = 0;
  auto frame = encoded.frameBits.begin();
  for (const int count : encoded.segmentFrames) {
    std::size_t spent = 0;
    for (int f = 0; f < count; ++f) spent += *frame++;
    const int64_t due = std::llround(share * static_cast<double>(first + count)) -
                        std::llround(share * static_cast<double>(first));
    if (static_cast<int64_t>(spent) > due || static_cast<int64_t>(spent) + kStuffingCode <= due)
      return false;
    first += count;
  }
  return true;
}

// Round trips at the catalogue's rates and layouts: every payload the format's block
// alignment long and decoded without an error, the decoded stream as long as the frames
// coded, lined up with the input from its first sample, and a tone coming back clean; the
// declared rate held; clicks coded in short blocks and steady sounds in long ones; frames
// running on from packet to packet.
TEST(WmaV2Encoder, RoundTripsDecodeWithoutErrors) {
  struct Case {
    int rate, channels, kbps;
    Sound sound;
    double minimumSnrDb;  // for the tone, whose noise the masking model puts about 14 dB down
    int quality = 0;      // coded for this quality, the rate above unused
    int seconds = 1;      // more: several segments, each held to its share
  };
  constexpr Case kCases[] = {
      {44100, 2, 128, Sound::kTone, 10},       {44100, 2, 64, Sound::kTone, 10},
      {44100, 2, 96, Sound::kNoise, 0},        {44100, 2, 128, Sound::kClicks, 0},
      {48000, 2, 128, Sound::kTone, 10},       {44100, 1, 48, Sound::kTone, 10},
      {22050, 2, 32, Sound::kTone, 6},         {16000, 1, 24, Sound::kNoise, 0},
      {8000, 1, 24, Sound::kTone, 6},          {44100, 2, 32, Sound::kSilence, 0},
      {32000, 2, 48, Sound::kNoise, 0},        {44100, 2, 320, Sound::kTone, 10},
      {44100, 2, 64, Sound::kClicks, 0},       {44100, 2, 128, Sound::kNoise, 0, 0, 4},
      {44100, 2, 64, Sound::kClicks, 0, 0, 4}, {44100, 2, 0, Sound::kTone, 10, 50},
      {48000, 1, 0, Sound::kClicks, 0, 10},    {44100, 2, 0, Sound::kNoise, 0, 98},
      {48000, 2, 0, Sound::kSilence, 0, 25},
  };
  av_log_set_callback(CountErrors);
  for (const Case& c : kCases) {
    const std::string name =
        std::to_string(c.rate) + "/" + std::to_string(c.channels) + "/" + std::to_string(c.kbps) +
        "/" + std::to_string(static_cast<int>(c.sound)) + "/q" + std::to_string(c.quality);
    const int input = c.seconds * c.rate + 1234;
    const auto planes = MakeSound(c.sound, c.rate, c.channels, input);
    const Encoded encoded = Encode(planes, c.rate, c.kbps, c.quality);
    ASSERT_FALSE(encoded.payloads.empty()) << name;
    for (const auto& payload : encoded.payloads)
      ASSERT_EQ(payload.size(), encoded.format.blockAlign) << name;
    decoderErrors = 0;
    const auto decoded = Decode(encoded);
    EXPECT_EQ(decoderErrors, 0) << name;
    // The decoder drops two frames at the start and gives one more at the end: the input,
    // filled to whole frames.
    const std::size_t frames = (input + encoded.frameLength - 1) / encoded.frameLength;
    EXPECT_EQ(decoded[0].size(), frames * encoded.frameLength) << name;
    ASSERT_GE(decoded[0].size(), static_cast<std::size_t>(input)) << name;
    // Every payload is the format's block alignment: the stream holds the declared rate but
    // for its last, padded, packet.
    const double seconds = static_cast<double>(encoded.payloads.size() - 1) *
                           encoded.format.blockAlign / encoded.format.avgBytesPerSec;
    const std::size_t coded = frames + static_cast<std::size_t>(encoded.leading);
    if (c.quality == 0) {
      EXPECT_LE(seconds, static_cast<double>(coded * encoded.frameLength) / c.rate) << name;
      EXPECT_TRUE(SegmentsSpendTheirShare(encoded)) << name;
    }
    // Every sound starts at once, an attack; after it, only the clicks are.
    const bool someShort = std::any_of(encoded.firstBlockSizes.begin() + 3,
                                       encoded.firstBlockSizes.end(), [](int s) { return s > 0; });
    EXPECT_EQ(someShort, c.sound == Sound::kClicks) << name;
    if (c.sound != Sound::kSilence) {
      EXPECT_TRUE(FramesSpanPackets(encoded)) << name;
    }
    // A decoder that starts on a packet in the middle gives, after that packet, what one
    // decoding from the start gives: the reader decodes in segments that start so. (Not where
    // the decoder adds noise from a table it runs through from the stream's start.)
    std::size_t primed = 0;
    const auto tail = Decode(encoded, encoded.payloads.size() / 2, &primed);
    // (Coded for quality, a packet may hold only two frames, both of which the decoder's
    // start-up trim takes.)
    if (c.quality == 0) {
      EXPECT_GT(primed, 0u) << name;
    }
    EXPECT_EQ(decoderErrors, 0) << name;
    const std::size_t compared = LayoutOf(encoded).noiseCoding ? 0 : tail[0].size() - primed;
    for (int ch = 0; ch < c.channels; ++ch)
      EXPECT_TRUE(std::equal(tail[ch].end() - static_cast<std::ptrdiff_t>(compared), tail[ch].end(),
                             decoded[ch].end() - static_cast<std::ptrdiff_t>(compared)))
          << name;
    if (c.sound != Sound::kTone) continue;
    for (int ch = 0; ch < c.channels; ++ch) {
      const double snr = SnrDb(planes[ch], decoded[ch]);
      RecordProperty("snr_" + name + "_" + std::to_string(ch), std::to_string(snr));
      EXPECT_GT(snr, c.minimumSnrDb) << name << " channel " << ch;
    }
  }
  av_log_set_callback(av_log_default_callback);
}

// Coded for quality, a higher quality takes more bytes and leaves less noise, on a tone and on
// noise, at both rates and channel counts of the catalogue.
TEST(WmaV2Encoder, HigherQualityTakesMoreBytesForLessNoise) {
  struct Case {
    int rate, channels;
    Sound sound;
  };
  constexpr Case kCases[] = {{44100, 2, Sound::kTone},
                             {48000, 1, Sound::kNoise},
                             {48000, 2, Sound::kTone},
                             {44100, 1, Sound::kNoise}};
  for (const Case& c : kCases) {
    const auto planes = MakeSound(c.sound, c.rate, c.channels, c.rate / 2);
    double lastBytes = 0, lastSnr = -1e9;
    for (const int quality : {10, 50, 98}) {
      const std::string name = std::to_string(c.rate) + "/" + std::to_string(c.channels) + "/q" +
                               std::to_string(quality);
      const Encoded encoded = Encode(planes, c.rate, 0, quality);
      const double bytes = static_cast<double>(encoded.payloads.size()) * encoded.format.blockAlign;
      const auto decoded = Decode(encoded);
      const double snr = SnrDb(planes[0], decoded[0]);
      EXPECT_GT(bytes, lastBytes) << name;
      EXPECT_GT(snr, lastSnr + 1) << name;
      lastBytes = bytes;
      lastSnr = snr;
    }
  }
}

// A frame is filled to the exact bit it is given (which holds each segment to its share):
// stuffing codes, then escapes, then raised exponents of quiet bands, for gaps from one bit to
// many codes, in long and short blocks of dense and sparse spectra. Silence takes no bits
// until the gap pays for a coded channel; with noise coding, whose noise its exponents would
// scale, it comes within one stuffing code. A block of escapes only may stay one bit short.
TEST(WmaV2Encoder, StuffingFillsAFrameToTheBit) {
  struct Case {
    int kbps, size;
    Sound sound;
    std::size_t from;    // the least gap it fills
    std::size_t short_;  // bits it may fall short by
  };
  constexpr Case kCases[] = {
      {128, 0, Sound::kNoise, 0, 0},    {64, 0, Sound::kTone, 0, 0},
      {128, 3, Sound::kNoise, 0, 0},    {64, 2, Sound::kClicks, 2, 0},
      {96, 0, Sound::kSilence, 100, 0}, {32, 0, Sound::kSilence, 100, 36},
  };
  constexpr std::size_t kGaps[] = {1, 2, 3, 5, 9, 17, 38, 77, 150, 301, 999};
  for (const Case& c : kCases) {
    const auto layout = wmav2::StreamLayout::Make(
        44100, 2, c.kbps * 1000,
        wmav2::kExponentVlc | wmav2::kBitReservoir | wmav2::kVariableBlocks);
    const wmav2::BlockLayout& shape = layout.blocks[c.size];
    // Transform coefficients run to thousands: samples at full scale, by the block's length.
    auto sound = MakeSound(c.sound, 44100, 2, shape.length);
    for (auto& channel : sound)
      for (float& value : channel) value *= 32768.0f * static_cast<float>(shape.length);
    std::vector<wmav2::BlockToFit> blocks(1);
    blocks[0].block.size = blocks[0].block.nextSize = c.size;
    for (int ch = 0; ch < 2; ++ch) {
      wmav2::ChannelSpectrum& spectrum = blocks[0].channels[ch];
      spectrum.coefficients = sound[ch].data();
      // Each band's threshold some 15 dB under its energy, and never nothing.
      int position = 0;
      for (const int width : shape.exponentBands) {
        double energy = 0;
        for (int i = position; i < position + width; ++i) energy += sound[ch][i] * sound[ch][i];
        spectrum.thresholds.push_back(static_cast<float>(energy / width / 30 + 1e-9));
        position += width;
      }
    }
    // The block's share of the rate.
    const std::size_t fitted =
        wmav2::FitFrame(layout, blocks, c.kbps * 1000 * shape.length / 44100);
    for (const std::size_t gap : kGaps) {
      wmav2::CodedBlock block = blocks[0].block;
      const std::size_t filled = wmav2::Stuff(layout, fitted + gap, block);
      const std::string name = std::to_string(c.kbps) + "/" + std::to_string(c.size) + "/" +
                               std::to_string(static_cast<int>(c.sound)) + " +" +
                               std::to_string(gap);
      EXPECT_LE(filled, fitted + gap) << name;
      EXPECT_EQ(filled, WriteBlock(layout, block, nullptr)) << name;
      if (gap >= c.from) {
        EXPECT_GE(filled + c.short_, fitted + gap) << name;
      }
    }
  }
}

}  // namespace
}  // namespace wmvcore
