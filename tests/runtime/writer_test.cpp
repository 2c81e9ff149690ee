#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <map>
#include <random>

#include "runtime/runtime_test_support.h"
#include "support/frame_packet_check.h"
#include "support/sanitizers.h"

namespace {

using namespace runtime_testing;
using wmvcore::PacketLayout;

struct Input {
  DWORD rate = 44100;
  WORD channels = 2;
  WORD bits = 16;
  Bytes pcm;
  DWORD channelMask = 0;  // declared as WAVEFORMATEXTENSIBLE with this mask, unless 0
};

using Tags = std::vector<std::pair<std::u16string, std::u16string>>;

// The runtime's codec information and its count of audio codecs.
HRESULT OpenCodecInfo(ComPtr<IWMCodecInfo3>& info, DWORD& codecs) {
  ComPtr<IWMProfileManager> manager;
  RETURN_IF_FAILED(WMCreateProfileManager(manager.put()));
  RETURN_IF_FAILED(manager.query_to(IID_IWMCodecInfo3, info));
  return info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs);
}

// The stream configuration of catalogue format (codec, format) in a one-stream profile.
HRESULT MakeProfile(DWORD codec, DWORD format, ComPtr<IWMProfile>& profile, bool variable = false) {
  ComPtr<IWMProfileManager> manager;
  RETURN_IF_FAILED(WMCreateProfileManager(manager.put()));
  RETURN_IF_FAILED(manager->CreateEmptyProfile(WMT_VER_9_0, profile.put()));
  ComPtr<IWMCodecInfo3> info;
  RETURN_IF_FAILED(manager.query_to(IID_IWMCodecInfo3, info));
  const BOOL mode = variable ? TRUE : FALSE;
  RETURN_IF_FAILED(info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, codec, u"_VBRENABLED",
                                                    WMT_TYPE_BOOL,
                                                    reinterpret_cast<const BYTE*>(&mode), 4));
  ComPtr<IWMStreamConfig> config;
  RETURN_IF_FAILED(info->GetCodecFormat(WMMEDIATYPE_Audio, codec, format, config.put()));
  RETURN_IF_FAILED(config->SetStreamNumber(1));
  return profile->AddStream(config.get());
}

// Declares the writer's input as `input` describes it, the way the plug-in does: the offered
// type with its WAVEFORMATEX rewritten.
HRESULT DeclareInput(IWMWriter* writer, const Input& input) {
  ComPtr<IWMInputMediaProps> props;
  RETURN_IF_FAILED(writer->GetInputProps(0, props.put()));
  MediaTypeBlock block;
  RETURN_IF_FAILED(ReadMediaType(props.get(), block));
  WM_MEDIA_TYPE* type = block.type;
  auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->pbFormat);
  wave->wFormatTag = WAVE_FORMAT_PCM;
  wave->nChannels = input.channels;
  wave->nSamplesPerSec = input.rate;
  wave->wBitsPerSample = input.bits;
  wave->nBlockAlign = static_cast<WORD>(input.channels * (input.bits / 8));
  wave->nAvgBytesPerSec = input.rate * wave->nBlockAlign;
  wave->cbSize = 18;
  if (input.channelMask == 0) {
    RETURN_IF_FAILED(props->SetMediaType(type));
    return writer->SetInputProps(0, props.get());
  }
  // The offered type with an extensible format block naming the speakers.
  struct {
    WM_MEDIA_TYPE type;
    WAVEFORMATEXTENSIBLE format;
  } extensible{*type, {*wave, input.bits, input.channelMask, KSDATAFORMAT_SUBTYPE_PCM}};
  extensible.format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  extensible.format.Format.cbSize = 22;
  extensible.type.cbFormat = sizeof(WAVEFORMATEXTENSIBLE);
  extensible.type.pbFormat = reinterpret_cast<BYTE*>(&extensible.format);
  RETURN_IF_FAILED(props->SetMediaType(&extensible.type));
  return writer->SetInputProps(0, props.get());
}

HRESULT SetTags(IWMWriter* writer, const Tags& tags) {
  ComPtr<IWMHeaderInfo> header;
  RETURN_IF_FAILED(writer->QueryInterface(IID_IWMHeaderInfo, header.put_void()));
  for (const auto& [name, value] : tags)
    RETURN_IF_FAILED(header->SetAttribute(0, name.c_str(), WMT_TYPE_STRING,
                                          reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<WORD>(2 * (value.size() + 1))));
  return S_OK;
}

HRESULT WriteSamples(IWMWriter* writer, const Input& input, std::size_t chunk = 65536) {
  QWORD time = 0;
  for (std::size_t at = 0; at < input.pcm.size(); at += chunk) {
    const DWORD length = static_cast<DWORD>(std::min(chunk, input.pcm.size() - at));
    ComPtr<INSSBuffer> sample;
    RETURN_IF_FAILED(writer->AllocateSample(length, sample.put()));
    BYTE* data = nullptr;
    DWORD reported = 0;
    RETURN_IF_FAILED(sample->GetBufferAndLength(&data, &reported));
    if (reported != length) return E_FAIL;
    std::memcpy(data, input.pcm.data() + at, length);
    RETURN_IF_FAILED(writer->WriteSample(0, time, 0, sample.get()));
    time += QWORD{length} * 10000000 / (input.rate * input.channels * (input.bits / 8));
  }
  return S_OK;
}

// The whole write, in the plug-in's order.
HRESULT EncodeFile(const std::filesystem::path& path, DWORD codec, DWORD format, const Input& input,
                   const Tags& tags = {}, bool variable = false) {
  ComPtr<IWMWriter> writer;
  RETURN_IF_FAILED(WMCreateWriter(nullptr, writer.put()));
  ComPtr<IWMProfile> profile;
  RETURN_IF_FAILED(MakeProfile(codec, format, profile, variable));
  RETURN_IF_FAILED(writer->SetProfile(profile.get()));
  RETURN_IF_FAILED(DeclareInput(writer.get(), input));
  RETURN_IF_FAILED(writer->SetOutputFilename(WidePath(path).c_str()));
  RETURN_IF_FAILED(SetTags(writer.get(), tags));
  RETURN_IF_FAILED(writer->BeginWriting());
  RETURN_IF_FAILED(WriteSamples(writer.get(), input));
  return writer->EndWriting();
}

// Interleaved samples of full-scale-quarter white noise (or a sine) at 16 or 24 bits.
Input Signal(DWORD rate, WORD channels, WORD bits, std::size_t frames, bool noise) {
  Input input{rate, channels, bits, {}};
  std::mt19937 random(1234);
  std::uniform_real_distribution<double> uniform(-0.25, 0.25);
  for (std::size_t i = 0; i < frames; ++i) {
    for (WORD c = 0; c < channels; ++c) {
      const double value =
          noise ? uniform(random) : 0.25 * std::sin(2 * M_PI * 440.0 * (c + 1) * i / rate);
      const auto scaled = static_cast<int32_t>(std::lround(value * (1 << (bits - 1))));
      for (WORD b = 0; b < bits / 8; ++b) input.pcm.push_back(static_cast<BYTE>(scaled >> (8 * b)));
    }
  }
  return input;
}

Input Signal(DWORD rate, WORD channels, WORD bits, double seconds, bool noise) {
  return Signal(rate, channels, bits, static_cast<std::size_t>(rate * seconds), noise);
}

std::vector<double> Channel(const Bytes& pcm, WORD channels, WORD bits, WORD channel) {
  std::vector<double> samples;
  const std::size_t width = bits / 8;
  for (std::size_t at = channel * width; at + width <= pcm.size(); at += channels * width) {
    int32_t value = 0;
    for (std::size_t b = 0; b < width; ++b) value |= static_cast<int32_t>(pcm[at + b]) << (8 * b);
    value = (value << (32 - bits)) >> (32 - bits);
    samples.push_back(value / static_cast<double>(1 << (bits - 1)));
  }
  return samples;
}

Pcm DecodeFile(const std::filesystem::path& path) {
  ComPtr<IWMSyncReader> reader;
  EXPECT_EQ(OpenReader(path, reader), S_OK);
  return reader ? DecodeAll(reader.get()) : Pcm{};
}

std::map<std::string, std::string> FfprobeTags(const std::filesystem::path& path) {
  Bytes out;
  RunCommand("ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 '" +
                 path.string() + "'",
             out);
  std::map<std::string, std::string> tags;
  std::string text(out.begin(), out.end());
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (line.rfind("TAG:", 0) == 0 && equals != std::string::npos)
      tags[line.substr(4, equals - 4)] = line.substr(equals + 1);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return tags;
}

bool NoScratchFilesIn(const std::filesystem::path& directory) {
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().filename().string().rfind(".", 0) == 0) return false;
  return true;
}

// What a file's header says of its stream's average rate: the first record of its stream
// bitrate properties (0 without them); and the bytes of its data packets.
struct RateInHeader {
  DWORD average = 0;
  QWORD dataBytes = 0;
};
RateInHeader ReadRateInHeader(const Bytes& file) {
  // The objects' identifiers as stored (little-endian fields first).
  constexpr BYTE kBitrates[] = {0xce, 0x75, 0xf8, 0x7b, 0x8d, 0x46, 0xd1, 0x11,
                                0x8d, 0x82, 0x00, 0x60, 0x97, 0xc9, 0xa2, 0xb2};
  constexpr BYTE kData[] = {0x36, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                            0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
  const auto value = [&](std::size_t at, int bytes) {
    QWORD read = 0;
    for (int i = bytes - 1; i >= 0 && at + bytes <= file.size(); --i)
      read = read << 8 | file[at + i];
    return read;
  };
  RateInHeader rate;
  const auto bitrates =
      std::search(file.begin(), file.end(), std::begin(kBitrates), std::end(kBitrates));
  if (bitrates != file.end())
    rate.average = static_cast<DWORD>(value(bitrates - file.begin() + 28, 4));
  const auto data = std::search(file.begin(), file.end(), std::begin(kData), std::end(kData));
  if (data != file.end()) rate.dataBytes = value(data - file.begin() + 16, 8) - 50;
  return rate;
}

// A media object of a file's data packets: a payload of the stream, whole.
struct MediaObject {
  DWORD presentationMs = 0;
  Bytes data;
};

// Reads every data packet of an ASF file as the format lays them out (error correction data,
// the length types, the packet's length, sequence and padding, its send time and duration,
// then one payload or several, each with its replicated data) and joins the payloads into
// media objects; a packet that does not parse fails the test.
std::vector<MediaObject> ReadMediaObjects(const Bytes& file) {
  constexpr BYTE kData[] = {0x36, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                            0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
  std::vector<MediaObject> objects;
  const auto data = std::search(file.begin(), file.end(), std::begin(kData), std::end(kData));
  if (data == file.end()) {
    ADD_FAILURE() << "no data object";
    return objects;
  }
  std::size_t at = static_cast<std::size_t>(data - file.begin());
  const auto value = [&](std::size_t from, int bytes) {
    QWORD read = 0;
    for (int i = bytes - 1; i >= 0; --i) read = read << 8 | file.at(from + i);
    return read;
  };
  const QWORD end = at + value(at + 16, 8);
  const QWORD count = value(at + 40, 8);
  at += 50;
  if (count == 0 || end > file.size()) {
    ADD_FAILURE() << "an empty or cut data object";
    return objects;
  }
  const std::size_t packetSize = static_cast<std::size_t>((end - at) / count);
  constexpr int kWidths[] = {0, 1, 2, 4};
  QWORD lastObject = 0;
  for (QWORD packet = 0; packet < count; ++packet, at += packetSize) {
    std::size_t pos = at;
    const auto read = [&](int type) {
      const int bytes = kWidths[type & 3];
      const QWORD got = bytes ? value(pos, bytes) : 0;
      pos += static_cast<std::size_t>(bytes);
      return got;
    };
    if (file.at(pos) & 0x80) pos += 1 + (file.at(pos) & 0x0F);
    const BYTE lengths = file.at(pos++);
    const BYTE properties = file.at(pos++);
    const QWORD length = read(lengths >> 5);
    read(lengths >> 1);  // sequence
    const QWORD padding = read(lengths >> 3);
    pos += 6;  // send time, duration
    const std::size_t packetEnd = at + (length ? static_cast<std::size_t>(length) : packetSize);
    const bool multiple = lengths & 1;
    const BYTE payloadFlags = multiple ? file.at(pos++) : 0;
    const int payloads = multiple ? (payloadFlags & 0x3F) : 1;
    for (int k = 0; k < payloads; ++k) {
      ++pos;  // stream number
      const QWORD object = read(properties >> 4);
      const QWORD offset = read(properties >> 2);
      const QWORD replicated = read(properties);
      if (replicated < 8) {
        ADD_FAILURE() << "packet " << packet << ": no presentation time";
        return objects;
      }
      const auto presentation = static_cast<DWORD>(value(pos + 4, 4));
      pos += static_cast<std::size_t>(replicated);
      const std::size_t size = multiple ? static_cast<std::size_t>(read(payloadFlags >> 6))
                                        : packetEnd - static_cast<std::size_t>(padding) - pos;
      if (pos + size > packetEnd) {
        ADD_FAILURE() << "packet " << packet << ": a payload past the packet's end";
        return objects;
      }
      if (offset == 0) {
        objects.push_back(MediaObject{presentation, {}});
        lastObject = object;
      }
      if (objects.empty() || object != lastObject || objects.back().data.size() != offset) {
        ADD_FAILURE() << "packet " << packet << ": media object " << object << " out of order";
        return objects;
      }
      objects.back().data.insert(objects.back().data.end(), file.begin() + pos,
                                 file.begin() + pos + size);
      pos += size;
    }
  }
  return objects;
}

// The codec's packets of a saved file, checked: media objects in rising time; a lossless
// stream's read as its decoder reads them (frame_packet_check.h); a superframe stream's
// headers numbered in order, each counting a frame at least and pointing inside the packet.
void ExpectSoundPackets(const std::filesystem::path& path, const WAVEFORMATEX& wave,
                        const BYTE* extra) {
  const std::vector<MediaObject> objects = ReadMediaObjects(ReadFile(path));
  ASSERT_FALSE(objects.empty()) << path;
  for (std::size_t k = 1; k < objects.size(); ++k)
    ASSERT_GT(objects[k].presentationMs, objects[k - 1].presentationMs) << path << " " << k;
  std::vector<std::vector<uint8_t>> packets;
  for (const MediaObject& object : objects) packets.push_back(object.data);
  const int blockBits = std::bit_width(unsigned{wave.nBlockAlign}) - 1;
  if (wave.wFormatTag == 0x0163) {
    // The frame length as the decoder derives it: from the rate, halved by flags 0x04 and
    // quartered by 0x06; a frame's samples to drop counted in one bit more than its length's.
    const unsigned flags = extra[14] | extra[15] << 8;
    const DWORD rate = wave.nSamplesPerSec;
    int frameBits = rate <= 16000 ? 9 : rate <= 22050 ? 10 : rate <= 48000 ? 11 : 12;
    frameBits -= (flags & 6) == 4 ? 1 : (flags & 6) == 6 ? 2 : (flags & 6) == 2 ? -1 : 0;
    const test_support::PacketReport report = test_support::CheckPackets(
        packets, PacketLayout{wave.nBlockAlign, blockBits + 4}, frameBits + 1);
    EXPECT_EQ(report.fault, "") << path;
  } else if (wave.wFormatTag == 0x0161 && wave.cbSize >= 6 && (extra[4] & 2)) {
    for (std::size_t k = 0; k < packets.size(); ++k) {
      ASSERT_EQ(packets[k].size(), wave.nBlockAlign) << path;
      EXPECT_EQ(packets[k][0] >> 4, k & 15) << path << " packet " << k;
      EXPECT_GE(packets[k][0] & 15, 1) << path << " packet " << k;
    }
  }
}

// Every catalogue format encodes a second of audio that ffmpeg reads at the promised rate and
// channel count without a word of error, and that this runtime decodes to exactly that second:
// the constant-rate formats, and our WMA v2 encoder's variable-rate ones, whose headers say
// they are of variable rate and give their average.
TEST_F(RuntimeTest, EveryCatalogueFormatEncodes) {
  ScratchDirectory scratch;
  ComPtr<IWMCodecInfo3> info;
  DWORD codecs = 0;
  ASSERT_EQ(OpenCodecInfo(info, codecs), S_OK);
  for (DWORD list = 0; list <= codecs; ++list) {
    const DWORD codec = list < codecs ? list : 0;
    const BOOL variable = list == codecs;
    ASSERT_EQ(
        info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, codec, u"_VBRENABLED", WMT_TYPE_BOOL,
                                         reinterpret_cast<const BYTE*>(&variable), 4),
        S_OK);
    DWORD formats = 0;
    ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &formats), S_OK);
    if (variable) {
      EXPECT_GE(formats, 20u);
    }
    // Under ThreadSanitizer a list's first format: its workers share the same objects in every
    // format, and each format's own tables are checked natively and under ASan.
    if (test_support::kThreadSanitizer) formats = std::min<DWORD>(formats, 1);
    for (DWORD format = 0; format < formats; ++format) {
      ComPtr<IWMStreamConfig> config;
      ASSERT_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, codec, format, config.put()), S_OK);
      ComPtr<IWMMediaProps> props;
      ASSERT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
      MediaTypeBlock block;
      ASSERT_EQ(ReadMediaType(props.get(), block), S_OK);
      WM_MEDIA_TYPE* type = block.type;
      WAVEFORMATEX wave;
      std::memcpy(&wave, type->pbFormat, sizeof(wave));

      const auto path =
          scratch / ("f" + std::to_string(list) + "-" + std::to_string(format) + ".wma");
      const Input input = Signal(wave.nSamplesPerSec, wave.nChannels, 16, 1.0, false);
      ASSERT_EQ(EncodeFile(path, codec, format, input, {}, variable), S_OK)
          << codec << "/" << format;
      // ffprobe decodes every frame (and prints any error) to count them.
      Bytes probe;
      ASSERT_TRUE(
          RunCommand("ffprobe -v error -count_frames -show_entries "
                     "stream=sample_rate,channels:format_tags=IsVBR -of csv=p=0 '" +
                         path.string() + "' 2>&1",
                     probe));
      EXPECT_EQ(std::string(probe.begin(), probe.end()), std::to_string(wave.nSamplesPerSec) + "," +
                                                             std::to_string(wave.nChannels) +
                                                             (variable ? "\n1\n" : "\n\n"))
          << codec << "/" << format;
      ExpectSoundPackets(path, wave, reinterpret_cast<const BYTE*>(type->pbFormat) + sizeof(wave));
      const Pcm decoded = DecodeFile(path);
      EXPECT_EQ(decoded.bytes.size(), input.pcm.size()) << codec << "/" << format;
      // A variable-rate file's header gives its average: its data packets, without their own
      // headers, over the second.
      const RateInHeader rate = ReadRateInHeader(ReadFile(path));
      if (variable) {
        EXPECT_NEAR(rate.average, rate.dataBytes * 8.0, rate.dataBytes * 8 * 0.05) << format;
      } else {
        EXPECT_EQ(rate.average, 0u) << codec << "/" << format;
      }
    }
  }
}

// White noise through the encoder and back lines up with its input at offset 0, and comes back
// at its own length. A perceptual coder keeps little of white noise sample for sample (about
// 4 dB at 128 kbps), but what it keeps must be that signal, not another.
TEST_F(RuntimeTest, RoundTripLinesUpFromTheFirstSample) {
  struct Case {
    DWORD codec, format, rate;
    WORD channels, bits;
  };
  // The lossy codecs, both input widths, and the three frame sizes (2048, 1024 and 512
  // samples); Professional at 128 kbps, stereo and mono.
  constexpr Case kCases[] = {{0, 7, 44100, 2, 16},  {0, 7, 44100, 2, 24},  {1, 7, 44100, 2, 16},
                             {0, 21, 22050, 1, 16}, {0, 24, 16000, 1, 16}, {1, 26, 8000, 1, 16},
                             {3, 11, 44100, 2, 16}, {3, 13, 44100, 1, 24}};
  ScratchDirectory scratch;
  for (const Case& c : kCases) {
    const std::string name =
        std::to_string(c.codec) + "-" + std::to_string(c.format) + "-" + std::to_string(c.bits);
    const Input input = Signal(c.rate, c.channels, c.bits, 1.0, true);
    const auto path = scratch / (name + ".wma");
    ASSERT_EQ(EncodeFile(path, c.codec, c.format, input), S_OK) << name;
    const Pcm decoded = DecodeFile(path);
    ASSERT_EQ(decoded.bits, 16);
    const auto original = Channel(input.pcm, c.channels, c.bits, 0);
    const auto result = Channel(decoded.bytes, c.channels, 16, 0);
    ASSERT_EQ(result.size(), original.size()) << name;

    // The window keeps every shifted index inside the result, which is as long as the input
    // (8000 samples for the shortest case).
    int bestOffset = 0;
    double best = -1e300;
    const std::size_t windowEnd = std::min<std::size_t>(2048 + 4096, result.size() - 2048);
    for (int offset = -2048; offset <= 2048; ++offset) {
      double sum = 0;
      for (std::size_t i = 2048; i < windowEnd; ++i) sum += original[i] * result[i + offset];
      if (sum > best) {
        best = sum;
        bestOffset = offset;
      }
    }
    EXPECT_EQ(bestOffset, 0) << name;
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < original.size(); ++i) {
      signal += original[i] * original[i];
      noise += (original[i] - result[i]) * (original[i] - result[i]);
    }
    const double snr = 10 * std::log10(signal / noise);
    RecordProperty("snr_db_" + name, std::to_string(snr));
    EXPECT_GT(snr, 1.0) << name;
  }
}

// A save hands back exactly the frames saved, however they end against the codec's frame of
// 2048, at 44.1 and 48 kHz, mono and stereo, coded and decoded on one thread or three; what is
// kept is ffmpeg's decode, byte for byte. Saved at another rate (the last rows), a file holds
// the frame count nearest the length it records (the input's, in whole 100 ns units): at half
// the rate, an odd length ends at the start of a decoded frame, which then goes whole; a single
// frame still makes a file with audio. The same for the variable-rate formats (qualities 50, 10
// and 98 here), and for Professional (its last frame telling the decoder what to drop).
TEST_F(RuntimeTest, RoundTripsGiveBackEveryFrameSaved) {
  struct Case {
    DWORD format, rate;
    WORD channels;
    DWORD streamRate;
    std::vector<std::size_t> moreFrames = {};
    bool variable = false;  // then short lengths only, the last past a segment
    DWORD codec = 0;
  };
  const Case kCases[] = {{7, 44100, 2, 44100},
                         {14, 44100, 1, 44100},
                         {2, 48000, 2, 48000},
                         {2, 48000, 1, 48000},
                         {7, 48000, 2, 44100},
                         {7, 22050, 2, 44100},
                         {21, 44100, 1, 22050, {65537}},
                         {14, 44100, 2, 44100, {}, true},
                         {21, 48000, 1, 48000, {}, true},
                         {0, 48000, 2, 48000, {}, true},
                         {11, 44100, 2, 44100, {65537}, false, 3},
                         {22, 48000, 1, 48000, {}, false, 3},
                         {11, 22050, 1, 44100, {}, false, 3}};
  ScratchDirectory scratch;
  // Each Professional segment decoded as it is coded, against the encoder's reconstruction.
  struct CheckSetting {
    CheckSetting() { setenv("WMAFILTER_PRO_CHECK", "1", 1); }
    ~CheckSetting() { unsetenv("WMAFILTER_PRO_CHECK"); }
  } check;
  for (const Case& c : kCases) {
    std::vector<std::size_t> lengths = {1, 300, 2048, 2049, 3 * 44100};
    // The long file, natively only: under the sanitizers the three seconds already pass through
    // several segments on three threads, and the long one would take most of their run.
    if (!test_support::kSanitized) lengths.push_back(1'045'187);
    if (c.variable) lengths = {1, 2049, 140'000};
    lengths.insert(lengths.end(), c.moreFrames.begin(), c.moreFrames.end());
    // Under ThreadSanitizer, whose risk is the workers, only the length that spans segments
    // on three threads; the short ones test framing, which the other builds run.
    if (test_support::kThreadSanitizer) lengths = {lengths.back()};
    for (const std::size_t frames : lengths) {
      const std::string name = std::to_string(c.codec) + ":" + std::to_string(c.format) +
                               (c.variable ? "v/" : "/") + std::to_string(c.rate) + "/" +
                               std::to_string(c.channels) + "/" + std::to_string(frames);
      Pcm decoded[2];
      for (const unsigned threads : {1u, 3u}) {
        CodingThreadsSetting setting(threads);
        const auto path = scratch / (std::to_string(threads) + ".wma");
        ASSERT_EQ(EncodeFile(path, c.codec, c.format, Signal(c.rate, c.channels, 16, frames, true),
                             {}, c.variable),
                  S_OK);
        decoded[threads / 2] = DecodeFile(path);
      }
      const Bytes& ours = decoded[0].bytes;
      EXPECT_TRUE(ours == decoded[1].bytes) << name;
      const Bytes reference = FfmpegDecode(scratch / "1.wma", "s16le");
      // Time stamps that rise, among what ffmpeg checks (a stream of one packet of three or
      // four frames had the decoder's final output stamped before the one ahead of it).
      EXPECT_EQ(FfmpegComplaints(scratch / "1.wma"), "") << name;
      ASSERT_LE(ours.size(), reference.size()) << name;
      EXPECT_TRUE(std::equal(ours.begin(), ours.end(), reference.begin())) << name;
      const QWORD units = QWORD{frames} * 10'000'000 / c.rate;
      const QWORD nearest = (units * c.streamRate + 5'000'000) / 10'000'000;
      EXPECT_EQ(ours.size() / (2 * decoded[0].channels), nearest) << name;
    }
  }
}

// Encoding on worker threads, in segments each primed with the frame before, gives the file one
// encoder gives, byte for byte: both codecs at their three frame sizes and Professional, mono
// and stereo, noise, tones, clicks (transients) and silence, input resampled or remixed on the
// way, lengths from a seed that end inside a frame, and files shorter than a segment (65536
// samples) or a frame.
TEST_F(RuntimeTest, WorkerThreadsWriteTheSameBytes) {
  enum class Sound { kNoise, kTone, kSilence, kClicks };
  struct Case {
    DWORD codec, format, rate;
    WORD channels, bits;
    double seconds;
    Sound sound;
    bool variable = false;
  };
  constexpr Case kCases[] = {
      {0, 7, 44100, 2, 16, 9, Sound::kNoise},        {0, 7, 44100, 2, 24, 4, Sound::kTone},
      {0, 2, 48000, 2, 16, 5, Sound::kSilence},      {0, 14, 44100, 1, 16, 6, Sound::kNoise},
      {0, 21, 22050, 1, 16, 7, Sound::kTone},        {0, 24, 16000, 1, 16, 8, Sound::kNoise},
      {1, 7, 44100, 2, 16, 6, Sound::kNoise},        {1, 26, 8000, 1, 16, 9, Sound::kTone},
      {0, 7, 48000, 2, 16, 5, Sound::kNoise},        {0, 7, 44100, 1, 8, 4, Sound::kTone},
      {0, 7, 44100, 2, 16, 0.7, Sound::kNoise},      {0, 7, 44100, 2, 16, 0.02, Sound::kNoise},
      {0, 7, 44100, 2, 16, 6, Sound::kClicks},       {1, 7, 44100, 2, 16, 5, Sound::kClicks},
      {0, 6, 44100, 2, 16, 4, Sound::kClicks, true}, {3, 11, 44100, 2, 16, 6, Sound::kNoise},
      {3, 0, 48000, 2, 24, 4, Sound::kTone},         {3, 17, 44100, 1, 16, 5, Sound::kClicks},
      {3, 21, 44100, 2, 16, 0.02, Sound::kNoise},
  };
  ScratchDirectory scratch;
  std::mt19937 seed(18);
  std::uniform_int_distribution<int> extra(1, 2047);
  for (const Case& c : kCases) {
    const std::string name = std::to_string(c.codec) + "-" + std::to_string(c.format) +
                             (c.variable ? "v-" : "-") + std::to_string(c.rate) + "-" +
                             std::to_string(c.bits);
    const double seconds = c.seconds + extra(seed) / static_cast<double>(c.rate);
    Input input = Signal(c.rate, c.channels, c.bits, seconds, c.sound == Sound::kNoise);
    if (c.sound == Sound::kSilence || c.sound == Sound::kClicks)
      std::fill(input.pcm.begin(), input.pcm.end(), BYTE{0});
    // A loud sample of the first channel every fifth of a second.
    const std::size_t frameBytes = std::size_t{c.channels} * c.bits / 8;
    for (std::size_t at = 0; c.sound == Sound::kClicks && at < input.pcm.size();
         at += frameBytes * (c.rate / 5))
      input.pcm[at + c.bits / 8 - 1] = 0x70;
    const auto single = scratch / (name + "-1.wma");
    const auto several = scratch / (name + "-3.wma");
    {
      CodingThreadsSetting one(1);
      ASSERT_EQ(EncodeFile(single, c.codec, c.format, input, {}, c.variable), S_OK) << name;
    }
    ASSERT_EQ(EncodeFile(several, c.codec, c.format, input, {}, c.variable), S_OK) << name;
    EXPECT_TRUE(ReadFile(single) == ReadFile(several)) << name;
  }
}

// The lossless codec's variable-rate formats give back every sample, through this runtime's
// reader and through ffmpeg, for each width, a few rates and channel counts, and lengths around
// a frame and a segment; on one thread and on several, the same bytes. Each segment is checked
// against libavcodec as it is coded, too.
TEST_F(RuntimeTest, LosslessFormatsGiveBackEverySample) {
  struct Case {
    WORD bits;
    DWORD rate;
    WORD channels;
    std::size_t frames;
    bool noise;
  };
  constexpr Case kCases[] = {
      {16, 44100, 2, 1, false},
      {16, 44100, 2, 2047, true},
      {16, 44100, 2, 2049, false},
      {16, 48000, 1, 140000, false},
      {16, 96000, 6, 9000, true},
      {24, 44100, 2, 2048, true},
      {24, 88200, 2, 150000, false},
      {24, 96000, 6, 20000, false},
      {24, 48000, 5, 4097, true},
      // Three and four channels are front left, right and centre, and quad, as the host gives
      // them: no channel is mixed into another.
      {16, 44100, 3, 5000, true},
      {24, 96000, 3, 9000, true},
      {16, 48000, 4, 5000, true},
      {24, 88200, 4, 9000, false},
  };
  struct CheckSetting {
    CheckSetting() { setenv("WMAFILTER_LOSSLESS_CHECK", "1", 1); }
    ~CheckSetting() { unsetenv("WMAFILTER_LOSSLESS_CHECK"); }
  } check;
  ScratchDirectory scratch;
  ComPtr<IWMCodecInfo3> info;
  DWORD codecs = 0;
  ASSERT_EQ(OpenCodecInfo(info, codecs), S_OK);
  const DWORD lossless = 2;  // after V8 and V1
  const BOOL variable = TRUE;
  ASSERT_EQ(
      info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, lossless, u"_VBRENABLED", WMT_TYPE_BOOL,
                                       reinterpret_cast<const BYTE*>(&variable), 4),
      S_OK);
  for (const Case& c : kCases) {
    const std::string name = std::to_string(c.bits) + "-" + std::to_string(c.rate) + "-" +
                             std::to_string(c.channels) + "-" + std::to_string(c.frames);
    DWORD formats = 0, format = 0;
    WAVEFORMATEX chosen{};
    Bytes extra;
    ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, lossless, &formats), S_OK);
    for (; format < formats; ++format) {
      ComPtr<IWMStreamConfig> config;
      ASSERT_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, lossless, format, config.put()), S_OK);
      ComPtr<IWMMediaProps> props;
      ASSERT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
      MediaTypeBlock block;
      ASSERT_EQ(ReadMediaType(props.get(), block), S_OK);
      if (block.wave()->nSamplesPerSec == c.rate && block.wave()->nChannels == c.channels &&
          block.wave()->wBitsPerSample == c.bits) {
        std::memcpy(&chosen, block.wave(), sizeof(chosen));
        extra.assign(reinterpret_cast<const BYTE*>(block.wave() + 1),
                     reinterpret_cast<const BYTE*>(block.wave() + 1) + chosen.cbSize);
        break;
      }
    }
    ASSERT_LT(format, formats) << name;
    const Input input = Signal(c.rate, c.channels, c.bits, c.frames, c.noise);
    const auto single = scratch / (name + "-1.wma");
    const auto several = scratch / (name + "-3.wma");
    {
      CodingThreadsSetting one(1);
      ASSERT_EQ(EncodeFile(single, lossless, format, input, {}, true), S_OK) << name;
    }
    {
      CodingThreadsSetting three(3);
      ASSERT_EQ(EncodeFile(several, lossless, format, input, {}, true), S_OK) << name;
    }
    EXPECT_TRUE(ReadFile(single) == ReadFile(several)) << name;
    ExpectSoundPackets(single, chosen, extra.data());
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(single, reader), S_OK) << name;
    const BOOL discrete = TRUE;
    ASSERT_EQ(reader->SetOutputSetting(0, u"EnableDiscreteOutput", WMT_TYPE_BOOL,
                                       reinterpret_cast<const BYTE*>(&discrete), 4),
              S_OK);
    const Pcm decoded = DecodeAll(reader.get());
    EXPECT_EQ(decoded.bits, c.bits) << name;
    EXPECT_TRUE(decoded.bytes == input.pcm) << name;
    EXPECT_TRUE(FfmpegDecode(single, c.bits == 16 ? "s16le" : "s24le") == input.pcm) << name;
  }
}

// Input of another width, rate and channel count is converted to the stream's format.
TEST_F(RuntimeTest, InputIsConvertedToTheStreamFormat) {
  ScratchDirectory scratch;
  Input input = Signal(22050, 1, 16, 0.5, false);
  Input narrow{22050, 1, 8, {}};
  for (std::size_t i = 0; i + 1 < input.pcm.size(); i += 2)
    narrow.pcm.push_back(static_cast<BYTE>(input.pcm[i + 1] ^ 0x80));  // 8-bit PCM is unsigned
  const auto path = scratch / "narrow.wma";
  ASSERT_EQ(EncodeFile(path, 0, 7, narrow), S_OK);
  const Pcm decoded = DecodeFile(path);
  EXPECT_EQ(decoded.rate, 44100u);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(static_cast<double>(decoded.bytes.size()) / 4, 44100 * 0.5, 2048 + 64);
}

// A stream of fewer channels takes every speaker of the input, on the positions its type
// names: a plain third channel is the centre, an extensible one may be the low-frequency
// channel, and both are heard; a channel that the mask gives no speaker is refused. The mix
// keeps within full scale: a 5.1 input of full-scale tones, in phase, comes back in stereo no
// louder than full scale (it once came back at three times that).
TEST_F(RuntimeTest, DownmixTakesTheSpeakersTheInputTypeNames) {
  ScratchDirectory scratch;
  Input input{44100, 3, 16, {}};
  for (std::size_t i = 0; i < 22050; ++i) {
    const auto tone = static_cast<int16_t>(8192 * std::sin(2 * M_PI * 440.0 * i / 44100));
    for (const int16_t value : {int16_t{0}, int16_t{0}, tone}) {
      input.pcm.push_back(static_cast<BYTE>(value));
      input.pcm.push_back(static_cast<BYTE>(value >> 8));
    }
  }
  for (const DWORD mask : {0x0u, 0x7u, 0xBu}) {
    input.channelMask = mask;
    const auto path = scratch / ("mask-" + std::to_string(mask) + ".wma");
    ASSERT_EQ(EncodeFile(path, 0, 7, input), S_OK) << mask;
    const Pcm decoded = DecodeFile(path);
    ASSERT_EQ(decoded.channels, 2);
    const std::vector<double> left = Channel(decoded.bytes, 2, decoded.bits, 0);
    double loudest = 0;
    for (const double sample : left) loudest = std::max(loudest, std::fabs(sample));
    // A quarter of full scale, at the centre's share of a mix of three (1 / (1 + 0.707)).
    EXPECT_GT(loudest, 0.09) << "mask " << mask;
  }
  input.channelMask = 0x3;
  EXPECT_EQ(EncodeFile(scratch / "unplaced.wma", 0, 7, input), NS_E_INVALID_INPUT_FORMAT);

  Input loud{48000, 6, 24, {}};
  for (std::size_t i = 0; i < 24000; ++i) {
    const auto tone = static_cast<int32_t>(8388607 * std::sin(2 * M_PI * 1000.0 * i / 48000));
    for (int c = 0; c < 6; ++c)
      for (int byte = 0; byte < 3; ++byte) loud.pcm.push_back(static_cast<BYTE>(tone >> 8 * byte));
  }
  loud.channelMask = 0x3F;
  const auto mixed = scratch / "six.wma";
  ASSERT_EQ(EncodeFile(mixed, 0, 7, loud), S_OK);
  const Bytes floats = FfmpegDecode(mixed, "f32le");
  float peak = 0;
  for (std::size_t i = 0; i + 4 <= floats.size(); i += 4) {
    float sample = 0;
    std::memcpy(&sample, floats.data() + i, 4);
    peak = std::max(peak, std::fabs(sample));
  }
  // Full scale and the coder's noise on it (a loud tone's peaks come back some 10% over), and
  // no quieter than the mix's share of it.
  EXPECT_LT(peak, 1.2f);
  EXPECT_GT(peak, 0.5f);
}

// Attributes set before writing come back with the same names and values, through this
// reader and through ffprobe, each once; the codec list names the codec and the format.
TEST_F(RuntimeTest, AttributesAndCodecListComeBack) {
  ScratchDirectory scratch;
  const Tags tags = {
      {u"Title", u"Se\u00f1or Flamingos Adieu"},
      {u"Author", u"Kaizers Orchestra"},
      {u"Copyright", u"(c) 2006"},
      {u"Description", u"Line one\r\nLine two"},
      {u"WM/AlbumTitle", u"Live at Vega"},
      {u"WM/Year", u"2006"},
      {u"WM/Genre", u"Rock"},
      {u"WM/ToolName", u"wmafilter"},
  };
  const auto path = scratch / "tagged.wma";
  ASSERT_EQ(EncodeFile(path, 0, 7, Signal(44100, 2, 16, 0.3, false), tags), S_OK);

  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(path, reader), S_OK);
  ComPtr<IWMHeaderInfo3> info;
  ASSERT_EQ(reader->QueryInterface(IID_IWMHeaderInfo3, info.put_void()), S_OK);
  for (const auto& [name, value] : tags) {
    WORD stream = 0, length = 0;
    WMT_ATTR_DATATYPE type{};
    ASSERT_EQ(info->GetAttributeByName(&stream, name.c_str(), &type, nullptr, &length), S_OK)
        << std::string(name.begin(), name.end());
    std::u16string text(length / 2, u'\0');
    ASSERT_EQ(info->GetAttributeByName(&stream, name.c_str(), &type,
                                       reinterpret_cast<BYTE*>(text.data()), &length),
              S_OK);
    EXPECT_EQ(type, WMT_TYPE_STRING);
    EXPECT_EQ(std::u16string(text.c_str()), value);
    WORD count = 0;
    ASSERT_EQ(info->GetAttributeIndices(0, name.c_str(), nullptr, nullptr, &count), S_OK);
    EXPECT_EQ(count, 1) << std::string(name.begin(), name.end());
  }
  WORD stream = 0, length = 0;
  WMT_ATTR_DATATYPE type{};
  EXPECT_EQ(info->GetAttributeByName(&stream, u"WM/EncodingSettings", &type, nullptr, &length),
            ASF_E_NOTFOUND);
  QWORD duration = 0;
  length = 8;
  ASSERT_EQ(info->GetAttributeByName(&stream, u"Duration", &type,
                                     reinterpret_cast<BYTE*>(&duration), &length),
            S_OK);
  EXPECT_EQ(duration, 3000000u);

  DWORD codecs = 0;
  ASSERT_EQ(info->GetCodecInfoCount(&codecs), S_OK);
  ASSERT_EQ(codecs, 1u);
  WORD nameLength = 64, descriptionLength = 64, infoLength = 8;
  WCHAR name[64], description[64];
  BYTE codecInfo[8];
  WMT_CODEC_INFO_TYPE codecType{};
  ASSERT_EQ(info->GetCodecInfo(0, &nameLength, name, &descriptionLength, description, &codecType,
                               &infoLength, codecInfo),
            S_OK);
  EXPECT_EQ(std::u16string(name), u"Windows Media Audio V8");
  EXPECT_EQ(std::u16string(description), u"128 kbps, 44 kHz, stereo CBR");
  EXPECT_EQ(codecType, WMT_CODECINFO_AUDIO);

  const auto probed = FfprobeTags(path);
  EXPECT_EQ(probed.at("title"), "Se\xc3\xb1or Flamingos Adieu");
  EXPECT_EQ(probed.at("artist"), "Kaizers Orchestra");
  EXPECT_EQ(probed.at("copyright"), "(c) 2006");
  EXPECT_EQ(probed.at("comment"), "Line one\r");  // ffprobe prints one line of it
  EXPECT_EQ(probed.at("album"), "Live at Vega");
  EXPECT_EQ(probed.at("WM/Year"), "2006");
  EXPECT_EQ(probed.at("genre"), "Rock");
  EXPECT_EQ(probed.at("WM/ToolName"), "wmafilter");
}

// Calls out of order are refused, and the header is settled once writing has begun.
TEST_F(RuntimeTest, WriterRefusesCallsOutOfOrder) {
  ScratchDirectory scratch;
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  ComPtr<IWMInputMediaProps> props;
  EXPECT_EQ(writer->GetInputProps(0, props.put()), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->BeginWriting(), NS_E_NOT_CONFIGURED);
  ComPtr<IWMProfile> profile;
  ASSERT_EQ(MakeProfile(0, 7, profile), S_OK);
  ASSERT_EQ(writer->SetProfile(profile.get()), S_OK);
  EXPECT_EQ(writer->BeginWriting(), NS_E_NOT_CONFIGURED);  // no file name yet
  ComPtr<INSSBuffer> sample;
  ASSERT_EQ(writer->AllocateSample(1000, sample.put()), S_OK);
  DWORD length = 0, maxLength = 0;
  EXPECT_EQ(sample->GetLength(&length), S_OK);
  EXPECT_EQ(sample->GetMaxLength(&maxLength), S_OK);
  EXPECT_EQ(length, 1000u);
  EXPECT_EQ(maxLength, 1000u);
  EXPECT_EQ(writer->WriteSample(0, 0, 0, sample.get()), NS_E_INVALID_REQUEST);

  Input bad{44100, 2, 12, {}};
  EXPECT_EQ(DeclareInput(writer.get(), bad), NS_E_INVALID_INPUT_FORMAT);
  ASSERT_EQ(writer->SetOutputFilename(WidePath(scratch / "a.wma").c_str()), S_OK);
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  EXPECT_EQ(writer->BeginWriting(), NS_E_INVALID_REQUEST);
  EXPECT_EQ(SetTags(writer.get(), {{u"Title", u"late"}}), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->SetProfile(profile.get()), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->WriteSample(0, 0, 0, sample.get()), S_OK);
  EXPECT_EQ(writer->EndWriting(), S_OK);
  EXPECT_EQ(writer->EndWriting(), NS_E_INVALID_REQUEST);
  EXPECT_TRUE(std::filesystem::exists(scratch / "a.wma"));
  EXPECT_TRUE(NoScratchFilesIn(scratch.path()));
}

// A name that cannot be written fails when it is given, before any audio is taken; a writer
// released before it ends, with segments in flight, leaves nothing behind, not even a thread.
TEST_F(RuntimeTest, UnwritableNamesFailEarlyAndNothingIsLeftBehind) {
  ScratchDirectory scratch;
  std::filesystem::create_directory(scratch / "directory.wma");
  WriteFile(scratch / "plain-file", {1, 2, 3});
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  for (const auto& name :
       {scratch / "missing" / "a.wma", scratch / "directory.wma", scratch / "plain-file" / "a.wma"})
    EXPECT_TRUE(FAILED(writer->SetOutputFilename(WidePath(name).c_str()))) << name;
  EXPECT_EQ(writer->SetOutputFilename(u""), NS_E_INVALID_NAME);
  EXPECT_EQ(writer->SetOutputFilename(nullptr), NS_E_INVALID_NAME);

  ComPtr<IWMProfile> profile;
  ASSERT_EQ(MakeProfile(0, 7, profile), S_OK);
  ASSERT_EQ(writer->SetProfile(profile.get()), S_OK);
  ASSERT_EQ(writer->SetOutputFilename(WidePath(scratch / "abandoned.wma").c_str()), S_OK);
  const std::size_t threads = RunningThreads();
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  EXPECT_EQ(RunningThreads(), threads + 3);  // three workers
  ASSERT_EQ(WriteSamples(writer.get(), Signal(44100, 2, 16, 3.0, false)), S_OK);
  writer.reset();
  EXPECT_EQ(RunningThreads(), threads);
  EXPECT_FALSE(std::filesystem::exists(scratch / "abandoned.wma"));
  EXPECT_TRUE(NoScratchFilesIn(scratch.path()));
}

// A full disk (here a file-size limit) is a failure at the call that meets it, with the
// system's reason as its result and as the thread's last error; an earlier file at the target
// stays as it was, and the scratch files are removed. Run in a child process, which alone has
// the limit.
TEST_F(RuntimeTest, FullDiskFailsAndLeavesNoFile) {
  ScratchDirectory scratch;
  const auto path = scratch / "full.wma";
  const Bytes earlier = {1, 2, 3};
  WriteFile(path, earlier);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{20000, 20000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const HRESULT result = EncodeFile(path, 0, 7, Signal(44100, 2, 16, 3.0, true));
    _exit(result == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) &&
                  GetLastError() == ERROR_FILE_TOO_LARGE
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(path), earlier);
  EXPECT_TRUE(NoScratchFilesIn(scratch.path()));
}

// The writer replaces a file as the host does: its scratch file is private while it is written,
// and the replaced file keeps the earlier one's mode and attributes; a new file has the mode
// that the umask gives any new file.
TEST_F(RuntimeTest, ReplacedFileKeepsItsModeAndAttributesAndIsPrivateMeanwhile) {
  ScratchDirectory scratch;
  const std::string earlier = (scratch / "earlier.wma").string();
  WriteFile(earlier, {1, 2, 3});
  chmod(earlier.c_str(), 0640);
  ASSERT_EQ(setxattr(earlier.c_str(), "user.origin", "kept", 4, 0), 0) << std::strerror(errno);
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  ComPtr<IWMProfile> profile;
  ASSERT_EQ(MakeProfile(0, 7, profile), S_OK);
  ASSERT_EQ(writer->SetProfile(profile.get()), S_OK);
  ASSERT_EQ(writer->SetOutputFilename(WidePath(earlier).c_str()), S_OK);
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  ASSERT_EQ(WriteSamples(writer.get(), Signal(44100, 2, 16, 1.0, true)), S_OK);
  std::size_t scratchFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
    if (entry.path().filename().string()[0] != '.') continue;
    struct stat status {};
    ASSERT_EQ(stat(entry.path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << entry.path();
    ++scratchFiles;
  }
  EXPECT_EQ(scratchFiles, 1u);
  ASSERT_EQ(writer->EndWriting(), S_OK);
  struct stat status {};
  ASSERT_EQ(stat(earlier.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_GT(status.st_size, 3);
  char value[8] = {};
  EXPECT_EQ(getxattr(earlier.c_str(), "user.origin", value, sizeof(value)), 4);
  EXPECT_STREQ(value, "kept");

  const mode_t mask = umask(0);
  umask(mask);
  const std::string made = (scratch / "new.wma").string();
  ASSERT_EQ(EncodeFile(made, 0, 7, Signal(44100, 2, 16, 0.2, true)), S_OK);
  ASSERT_EQ(stat(made.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0666u & ~mask);
  EXPECT_TRUE(NoScratchFilesIn(scratch.path()));
}

// The runtime's path is the inverse of the plug-in's conversion of the host's bytes, whatever
// they are, and its scratch names are short enough for any name the file system takes. A name
// that no byte name gives is refused rather than taken for another.
TEST_F(RuntimeTest, AnyByteNameIsWrittenAndReadUnderItsOwnBytes) {
  ScratchDirectory scratch;
  const Input input = Signal(44100, 2, 16, 0.2, false);
  for (const std::string& name :
       std::vector<std::string>{"Se\xC3\xB1or \xE2\x82\xAC.wma", "\x81\x8D\x8F\x90\x9D.wma",
                                "\xE6\x97\xA5\xE6\x9C\xAC.wma", std::string(251, 'n') + ".wma"}) {
    ASSERT_EQ(EncodeFile(scratch / name, 0, 7, input), S_OK) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(scratch / name)) << name;
    EXPECT_FALSE(DecodeFile(scratch / name).bytes.empty()) << name;
  }
  EXPECT_TRUE(NoScratchFilesIn(scratch.path()));
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  const std::u16string unshowable = WidePath(scratch.path()) + u"/\u65E5.wma";
  EXPECT_EQ(writer->SetOutputFilename(unshowable.c_str()), NS_E_INVALID_NAME);
}

// Profiles the writer cannot encode are refused at SetProfile.
TEST_F(RuntimeTest, WriterRefusesProfilesItCannotEncode) {
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  ComPtr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(manager.put()), S_OK);
  ComPtr<IWMProfile> empty;
  ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_9_0, empty.put()), S_OK);
  EXPECT_EQ(writer->SetProfile(empty.get()), NS_E_INVALID_REQUEST);

  ComPtr<IWMProfile> profile;
  ASSERT_EQ(MakeProfile(0, 7, profile), S_OK);
  ComPtr<IWMStreamConfig> config;
  ASSERT_EQ(profile->GetStream(0, config.put()), S_OK);
  ComPtr<IWMMediaProps> props;
  ASSERT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
  MediaTypeBlock block;
  ASSERT_EQ(ReadMediaType(props.get(), block), S_OK);
  WM_MEDIA_TYPE* type = block.type;
  auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->pbFormat);
  // A codec, and then a bit rate, that the catalogue does not list.
  for (const auto change : {+[](WAVEFORMATEX& w) { w.wFormatTag = 0x000A; },  // Voice
                            +[](WAVEFORMATEX& w) { w.nAvgBytesPerSec += 1000; }}) {
    const WAVEFORMATEX original = *wave;
    change(*wave);
    ASSERT_EQ(props->SetMediaType(type), S_OK);
    ASSERT_EQ(profile->ReconfigStream(config.get()), S_OK);
    EXPECT_EQ(writer->SetProfile(profile.get()), NS_E_INVALID_OUTPUT_FORMAT);
    *wave = original;
  }
}

}  // namespace
