#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <variant>

#include "runtime/runtime_test_support.h"
#include "support/made_asf_files.h"

namespace {

using namespace runtime_testing;
namespace asf = wmvcore::asf;

struct KnownFile {
  const char* name;
  DWORD rate;
  WORD channels;
  WORD bits;
  std::size_t frames;  // what the reader hands back
};

// The header's length (play duration less preroll) ends the audio where the final frame
// overhangs it: ffmpeg's 162,496 frames of the two silences become 162,464 and the lossless
// file's 156,556 become 156,511. issue_29's header promises 40 s and the file holds 0.8:
// all of it is kept; real_example is a header alone; silence-1 ends on a whole frame.
constexpr KnownFile kKnownFiles[] = {
    {"mutagen-issue_29.wma", 44100, 2, 16, 36864},
    {"mutagen-silence-2.wma", 44100, 2, 24, 162464},
    {"mutagen-silence-3.wma", 44100, 2, 16, 162464},
    {"taglib-lossless.wma", 44100, 2, 16, 156511},
    {"taglib-real_example.wma", 44100, 2, 16, 0},
    {"taglib-silence-1.wma", 48000, 2, 16, 178176},
};

class RealFiles : public RuntimeTest, public ::testing::WithParamInterface<KnownFile> {};

// Each file opens with its own format and decodes exactly as ffmpeg decodes it, byte for byte,
// as far as its header's length (24-bit samples are converted wide and shifted down, as
// ffmpeg's s24le output is).
TEST_P(RealFiles, DecodeAsFfmpegDoes) {
  const KnownFile& known = GetParam();
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(TestFile(known.name), reader), S_OK);
  const Pcm pcm = DecodeAll(reader.get());
  EXPECT_EQ(pcm.rate, known.rate);
  EXPECT_EQ(pcm.channels, known.channels);
  EXPECT_EQ(pcm.bits, known.bits);

  const Bytes reference = FfmpegDecode(TestFile(known.name), known.bits == 24 ? "s24le" : "s16le");
  ASSERT_EQ(pcm.bytes.size(), known.frames * known.channels * known.bits / 8);
  ASSERT_LE(pcm.bytes.size(), reference.size());
  EXPECT_TRUE(std::equal(pcm.bytes.begin(), pcm.bytes.end(), reference.begin()));
  // Times run on from 0.
  if (!pcm.times.empty()) {
    EXPECT_EQ(pcm.times.front(), 0u);
  }
  EXPECT_TRUE(std::is_sorted(pcm.times.begin(), pcm.times.end()));
  EXPECT_EQ(reader->Close(), S_OK);
  EXPECT_EQ(reader->Close(), NS_E_INVALID_REQUEST);
}

INSTANTIATE_TEST_SUITE_P(Runtime, RealFiles, ::testing::ValuesIn(kKnownFiles),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return name;
                         });

// The byte that holds wBitsPerSample of the first stream's WAVEFORMATEX in an ffmpeg-written
// ASF file: after the stream properties object's identifier, its size and 54 bytes of fields.
std::size_t BitsPerSampleOffset(const Bytes& file) {
  const BYTE streamProperties[16] = {0x91, 0x07, 0xdc, 0xb7, 0xb7, 0xa9, 0xcf, 0x11,
                                     0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
  const auto found = std::search(file.begin(), file.end(), std::begin(streamProperties),
                                 std::end(streamProperties));
  return static_cast<std::size_t>(found - file.begin()) + 24 + 54 + 14;
}

// A non-silent stream whose format declares 24 bits decodes to 24-bit samples that agree with
// ffmpeg's 24-bit decode to the last place, and whose top 16 bits are the 16-bit decode.
TEST_F(RuntimeTest, StreamDeclaringTwentyFourBitsDecodesToTwentyFour) {
  ScratchDirectory scratch;
  const auto path = scratch / "wide.wma";
  FfmpegEncode("-f lavfi -i sine=frequency=1000:duration=1 -ac 2", path, "-c:a wmav2 -b:a 128k");
  Bytes file = ReadFile(path);
  const std::size_t offset = BitsPerSampleOffset(file);
  ASSERT_LT(offset + 1, file.size());
  ASSERT_EQ(file[offset], 16);
  file[offset] = 24;
  WriteFile(path, file);

  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(path, reader), S_OK);
  const Pcm pcm = DecodeAll(reader.get());
  EXPECT_EQ(pcm.bits, 24);
  const Bytes reference = FfmpegDecode(path, "s24le");
  ASSERT_EQ(pcm.bytes.size(), reference.size());
  ASSERT_GT(pcm.bytes.size(), 3u * 44100);
  int loud = 0;
  int differing = 0;
  for (std::size_t i = 0; i + 2 < pcm.bytes.size(); i += 3) {
    auto value = [](const Bytes& b, std::size_t at) {
      return static_cast<int32_t>(static_cast<uint32_t>(b[at]) << 8 | b[at + 1] << 16 |
                                  static_cast<uint32_t>(b[at + 2]) << 24) >>
             8;
    };
    ASSERT_LE(std::abs(value(pcm.bytes, i) - value(reference, i)), 1) << i;
    differing += value(pcm.bytes, i) != value(reference, i) ? 1 : 0;
    loud += std::abs(value(pcm.bytes, i)) > (1 << 18) ? 1 : 0;
  }
  EXPECT_GT(loud, 1000);
  RecordProperty("samples_differing_from_ffmpeg", differing);
}

// `file`, a Windows-made ASF file, with its whole data packets repeated `repeats` times and its
// header made to agree: a long stream of the Windows encoder's WMA v2, with its bit reservoir.
// Every field it reads or rewrites is checked to lie inside the file first.
void RepeatPackets(const Bytes& file, int repeats, Bytes& repeated) {
  const BYTE dataObject[16] = {0x36, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                               0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
  const BYTE fileProperties[16] = {0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11,
                                   0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
  auto find = [&](const BYTE(&id)[16]) {
    return static_cast<std::size_t>(
        std::search(file.begin(), file.end(), std::begin(id), std::end(id)) - file.begin());
  };
  auto put = [](Bytes& bytes, std::size_t at, QWORD value) {
    for (int b = 0; b < 8; ++b) bytes[at + b] = static_cast<BYTE>(value >> (8 * b));
  };
  const std::size_t data = find(dataObject), properties = find(fileProperties);
  ASSERT_LE(properties + 94, data) << "no file properties object before the data object";
  ASSERT_LE(data + 50, file.size()) << "no data object";
  const std::size_t packetSize = file[properties + 92] | file[properties + 93] << 8;
  ASSERT_GT(packetSize, 0u);
  const std::size_t packets = (file.size() - data - 50) / packetSize;
  ASSERT_GT(packets, 0u) << "no whole packet";
  repeated.assign(file.begin(), file.begin() + data + 50);
  for (int r = 0; r < repeats; ++r)
    repeated.insert(repeated.end(), file.begin() + data + 50,
                    file.begin() + data + 50 + packets * packetSize);
  put(repeated, data + 16, 50 + repeats * packets * packetSize);
  put(repeated, data + 40, repeats * packets);
  put(repeated, properties + 40, repeated.size());
  put(repeated, properties + 56, repeats * packets);
}

// Decoding ahead on worker threads, in segments of packets each begun a packet early, gives
// the PCM one decoder gives: WMA v2 and v1 decoded side by side, and at bit rates with noise
// substitution or with block sizes carried from the stream's start in one piece; noise, tones
// and silence; a long stream of the Windows encoder;
// files shorter than a segment; the Windows-made files, Pro and Lossless among them; and output
// formats changed while reading.
TEST_F(RuntimeTest, WorkerThreadsDecodeTheSamePcm) {
  struct Case {
    const char* name;
    const char* source;
    const char* codec;
  };
  constexpr Case kGenerated[] = {
      {"v2-44k-128.wma", "anoisesrc=d=20.3:c=pink:r=44100:a=0.3 -ac 2", "wmav2 -b:a 128k"},
      {"v2-48k-64.wma", "sine=f=440:d=14.1:r=48000 -ac 2", "wmav2 -b:a 64k"},
      {"v2-22k-32.wma", "anoisesrc=d=15.7:r=22050:a=0.3 -ac 2", "wmav2 -b:a 32k"},
      {"v2-22k-24-noise.wma", "anoisesrc=d=15.7:r=22050:a=0.3 -ac 1", "wmav2 -b:a 24k"},
      {"v2-44k-32-noise.wma", "anoisesrc=d=12.9:r=44100:a=0.3 -ac 2", "wmav2 -b:a 32k"},
      {"v2-8k-24.wma", "sine=f=300:d=19.5:r=8000 -ac 1", "wmav2 -b:a 24k"},
      {"v1-44k-128.wma", "anoisesrc=d=16.2:c=brown:r=44100:a=0.3 -ac 2", "wmav1 -b:a 128k"},
      {"v1-22k-24-noise.wma", "sine=f=1000:d=10.4:r=22050 -ac 1", "wmav1 -b:a 24k"},
      {"v2-silence.wma", "anullsrc=r=44100:cl=stereo -t 12.2", "wmav2 -b:a 128k"},
      {"v2-short.wma", "anoisesrc=d=0.4:r=44100:a=0.3 -ac 2", "wmav2 -b:a 128k"},
      // Clicks over silence: transients. ffmpeg's encoder keeps its blocks long; the short
      // blocks come from the Windows-made files below, whose codec data allows them.
      {"v2-clicks.wma", "'aevalsrc=0.9*lt(mod(t\\,0.2)\\,0.002):s=44100:d=9.7' -ac 2",
       "wmav2 -b:a 128k"},
  };
  ScratchDirectory scratch;
  std::vector<std::filesystem::path> files;
  for (const Case& c : kGenerated) {
    FfmpegEncode(std::string("-f lavfi -i ") + c.source, scratch / c.name,
                 std::string("-c:a ") + c.codec);
    files.push_back(scratch / c.name);
  }
  Bytes windowsLong;
  ASSERT_NO_FATAL_FAILURE(
      RepeatPackets(ReadFile(TestFile("mutagen-issue_29.wma")), 25, windowsLong));
  WriteFile(scratch / "windows-long.wma", windowsLong);
  files.push_back(scratch / "windows-long.wma");
  // Block sizes that change with no bit reservoir: the decoder reads them once, at the
  // stream's start, and carries them on from there.
  WriteFile(scratch / "v2-variable-blocks.wma",
            test_support::WithChangedHeader(ReadFile(files.front()), [](asf::Header& header) {
              header.Find<asf::StreamProperties>()->typeSpecific.at(18 + 4) |= 0x04;
            }));
  files.push_back(scratch / "v2-variable-blocks.wma");
  for (const KnownFile& known : kKnownFiles) files.push_back(TestFile(known.name));

  auto decode = [](const std::filesystem::path& path, unsigned threads) {
    CodingThreadsSetting setting(threads);
    ComPtr<IWMSyncReader> reader;
    EXPECT_EQ(OpenReader(path, reader), S_OK) << path;
    return reader ? DecodeAll(reader.get()) : Pcm{};
  };
  for (const auto& path : files) {
    const Pcm single = decode(path, 1);
    const Pcm several = decode(path, 3);
    EXPECT_EQ(several.bytes.size(), single.bytes.size()) << path;
    EXPECT_TRUE(several.bytes == single.bytes && several.times == single.times) << path;
  }

  // Every sample held until the reader is gone: the workers' sample buffers reuse the memory
  // of released ones, and none may be handed out again while held, or outlive where it came
  // from.
  {
    CodingThreadsSetting setting(3);
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(files.front(), reader), S_OK);
    std::vector<ComPtr<INSSBuffer>> held;
    for (;;) {
      ComPtr<INSSBuffer> sample;
      QWORD time = 0;
      if (reader->GetNextSample(0, sample.put(), &time, nullptr, nullptr, nullptr, nullptr) != S_OK)
        break;
      held.push_back(std::move(sample));
    }
    reader.reset();
    Bytes joined;
    for (const ComPtr<INSSBuffer>& sample : held) {
      BYTE* data = nullptr;
      DWORD length = 0;
      EXPECT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
      joined.insert(joined.end(), data, data + length);
    }
    EXPECT_TRUE(joined == decode(files.front(), 1).bytes);
  }

  // The output format changed on the way, after the workers have converted ahead: to 8-bit
  // mono at 22050 Hz, which the reader resamples, then to 24-bit at the stream's own rate.
  auto switching = [](const std::filesystem::path& path, unsigned threads) {
    CodingThreadsSetting setting(threads);
    ComPtr<IWMSyncReader> reader;
    EXPECT_EQ(OpenReader(path, reader), S_OK) << path;
    Bytes stamped;
    for (int k = 0; reader; ++k) {
      if (k == 30 || k == 120) {
        ComPtr<IWMOutputMediaProps> props;
        MediaTypeBlock block;
        EXPECT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);
        EXPECT_EQ(ReadMediaType(props.get(), block), S_OK);
        WAVEFORMATEX& wave = *block.wave();
        if (k == 30) wave.nSamplesPerSec = 22050;
        wave.nChannels = k == 30 ? 1 : 2;
        wave.wBitsPerSample = k == 30 ? 8 : 24;
        wave.nBlockAlign = static_cast<WORD>(wave.nChannels * wave.wBitsPerSample / 8);
        EXPECT_EQ(props->SetMediaType(block.type), S_OK);
        EXPECT_EQ(reader->SetOutputProps(0, props.get()), S_OK);
      }
      ComPtr<INSSBuffer> sample;
      QWORD time = 0;
      if (reader->GetNextSample(0, sample.put(), &time, nullptr, nullptr, nullptr, nullptr) != S_OK)
        break;
      BYTE* data = nullptr;
      DWORD length = 0;
      EXPECT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
      stamped.insert(stamped.end(), reinterpret_cast<BYTE*>(&time),
                     reinterpret_cast<BYTE*>(&time + 1));
      stamped.insert(stamped.end(), data, data + length);
    }
    return stamped;
  };
  for (const auto& path : {files.front(), scratch / "windows-long.wma"})
    EXPECT_TRUE(switching(path, 3) == switching(path, 1)) << path;
}

// Anything but an ASF file is refused at Open, with a failure code and nothing left alive.
TEST_F(RuntimeTest, RefusesWhatIsNotAnAsfFile) {
  ScratchDirectory scratch;
  FfmpegEncode("-f lavfi -i sine=duration=0.2", scratch / "a.wav", "");
  FfmpegEncode("-f lavfi -i sine=duration=0.2", scratch / "a.mp3", "");
  FfmpegEncode("-f lavfi -i sine=duration=0.2", scratch / "a.flac", "");
  WriteFile(scratch / "text.wma", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  WriteFile(scratch / "empty.wma", {});
  std::filesystem::create_directory(scratch / "directory.wma");
  Bytes whole = ReadFile(TestFile("taglib-silence-1.wma"));
  WriteFile(scratch / "header-cut.wma", Bytes(whole.begin(), whole.begin() + 100));

  for (const char* name : {"a.wav", "a.mp3", "a.flac", "text.wma", "empty.wma", "directory.wma",
                           "header-cut.wma", "missing.wma"}) {
    ComPtr<IWMSyncReader> reader;
    EXPECT_TRUE(FAILED(OpenReader(scratch / name, reader))) << name;
    DWORD outputs = 0;
    EXPECT_EQ(reader->GetOutputCount(&outputs), NS_E_INVALID_REQUEST) << name;
  }
  ComPtr<IWMSyncReader> reader;
  EXPECT_EQ(OpenReader(scratch / "missing.wma", reader), NS_E_FILE_NOT_FOUND);
  // Encrypted content, either way its header may say so.
  for (const GUID& encryption :
       {asf::kContentEncryptionObject, asf::kExtendedContentEncryptionObject}) {
    WriteFile(scratch / "protected.wma",
              test_support::WithChangedHeader(whole, test_support::Protected(encryption)));
    EXPECT_EQ(OpenReader(scratch / "protected.wma", reader), NS_E_PROTECTED_CONTENT);
  }
}

// A file cut anywhere in its data delivers what can be decoded, in order, and then ends.
TEST_F(RuntimeTest, CutFilesDeliverWhatDecodesAndEnd) {
  ScratchDirectory scratch;
  const Bytes whole = ReadFile(TestFile("taglib-silence-1.wma"));
  const Bytes reference = FfmpegDecode(TestFile("taglib-silence-1.wma"), "s16le");
  for (std::size_t cut : {std::size_t{5200}, whole.size() / 2, whole.size() - 1000}) {
    const auto path = scratch / ("cut" + std::to_string(cut) + ".wma");
    WriteFile(path, Bytes(whole.begin(), whole.begin() + cut));
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(path, reader), S_OK) << cut;
    const Pcm pcm = DecodeAll(reader.get());
    EXPECT_LT(pcm.bytes.size(), reference.size()) << cut;
    EXPECT_TRUE(std::equal(pcm.bytes.begin(), pcm.bytes.end(), reference.begin())) << cut;
  }
}

// The header's length cuts the final frame alone (here its last 908 of 156,556 frames), and
// only where it ends inside it or at its first frame (then all of it goes): not past the audio
// (a file cut short), not for a duration of 0, nor a broadcast file's, which is not valid.
TEST_F(RuntimeTest, HeaderLengthCutsOnlyTheFinalFrame) {
  // Lengths in 100 ns units: 155,700 frames, the final frame's first (155,648), 60 s, none, and
  // the file's own.
  constexpr struct {
    QWORD units;
    bool broadcast;
    std::size_t frames;
  } kCases[] = {{35306122, false, 155700},
                {35294331, false, 155648},
                {600000000, false, 156556},
                {0, false, 156556},
                {35490000, true, 156556}};
  ScratchDirectory scratch;
  const Bytes whole = ReadFile(TestFile("taglib-lossless.wma"));
  const Bytes reference = FfmpegDecode(TestFile("taglib-lossless.wma"), "s16le");
  for (const auto& c : kCases) {
    const auto change = [&](asf::Header& header) {
      auto& file = *header.Find<asf::FileProperties>();
      file.playDuration = file.prerollMs * 10000 + c.units;
      file.flags |= c.broadcast ? 1 : 0;
    };
    WriteFile(scratch / "changed.wma", test_support::WithChangedHeader(whole, change));
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(scratch / "changed.wma", reader), S_OK);
    const Pcm pcm = DecodeAll(reader.get());
    EXPECT_EQ(pcm.bytes.size(), c.frames * 4) << c.units;
    EXPECT_TRUE(std::equal(pcm.bytes.begin(), pcm.bytes.end(), reference.begin())) << c.units;
  }
}

// Damaged packets: garbage in the middle of the data is skipped, and decoding goes on.
TEST_F(RuntimeTest, DamagedDataNeverStopsTheReaderEarly) {
  ScratchDirectory scratch;
  Bytes file = ReadFile(TestFile("mutagen-silence-3.wma"));
  for (std::size_t i = file.size() / 3; i < file.size() / 3 + 4000; ++i) file[i] ^= 0x5a;
  const auto path = scratch / "damaged.wma";
  WriteFile(path, file);
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(path, reader), S_OK);
  const Pcm pcm = DecodeAll(reader.get());
  EXPECT_GT(pcm.bytes.size(), 0u);
}

// Output 0 of a file whose first stream is video describes itself as video.
TEST_F(RuntimeTest, VideoOutputDescribesItselfAsVideo) {
  ScratchDirectory scratch;
  const auto path = scratch / "video.wmv";
  FfmpegEncode("-f lavfi -i testsrc=size=64x48:duration=0.2 -f lavfi -i sine=duration=0.2", path,
               "-c:v wmv2 -c:a wmav2 -map 0:v -map 1:a");
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(path, reader), S_OK);
  WAVEFORMATEX format{};
  GUID major{};
  EXPECT_EQ(OutputFormat(reader.get(), 0, format, major), S_OK);
  EXPECT_TRUE(major == WMMEDIATYPE_Video);
  EXPECT_EQ(OutputFormat(reader.get(), 1, format, major), S_OK);
  EXPECT_TRUE(major == WMMEDIATYPE_Audio);
  // The reader's profile lists the same streams, each handed out anew; the audio one with its
  // coded format.
  ComPtr<IWMProfile> profile;
  ASSERT_EQ(reader.query_to(IID_IWMProfile3, profile), S_OK);
  DWORD streams = 0;
  ASSERT_EQ(profile->GetStreamCount(&streams), S_OK);
  ASSERT_EQ(streams, 2u);
  for (const WORD number : {1, 2}) {
    ComPtr<IWMStreamConfig> config;
    ComPtr<IWMStreamConfig> again;
    ASSERT_EQ(profile->GetStreamByNumber(number, config.put()), S_OK);
    ASSERT_EQ(profile->GetStream(number - 1u, again.put()), S_OK);
    EXPECT_NE(config.get(), again.get());
    EXPECT_EQ(config->GetStreamType(&major), S_OK);
    EXPECT_TRUE(major == (number == 1 ? WMMEDIATYPE_Video : WMMEDIATYPE_Audio));
  }
  ComPtr<IWMStreamConfig> config;
  EXPECT_EQ(profile->GetStreamByNumber(3, config.put()), NS_E_NO_STREAM);
  EXPECT_EQ(profile->GetStream(2, config.put()), E_INVALIDARG);
  ASSERT_EQ(profile->GetStreamByNumber(2, config.put()), S_OK);
  ComPtr<IWMMediaProps> props;
  ASSERT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
  MediaTypeBlock coded;
  ASSERT_EQ(ReadMediaType(props.get(), coded), S_OK);
  EXPECT_TRUE(coded.type->subtype == WMMEDIASUBTYPE_WMAudioV8);
  // Only the audio output delivers samples.
  ComPtr<INSSBuffer> sample;
  DWORD output = 0;
  ASSERT_EQ(reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, &output, nullptr),
            S_OK);
  EXPECT_EQ(output, 1u);
}

// The outputs are the file's own streams in the order of their stream numbers, whatever the
// order of their objects; a cover picture, which the demuxer presents as a stream, is none.
// Their formats are those ffprobe gives the streams.
TEST_F(RuntimeTest, OutputsAreTheFilesStreamsInStreamNumberOrder) {
  ScratchDirectory scratch;
  FfmpegEncode("-f lavfi -i sine=duration=0.3 -f lavfi -i sine=sample_rate=22050:duration=0.3",
               scratch / "two.wma", "-map 0 -map 1 -c:a wmav2 -b:a 32k -f asf");
  const Bytes two = ReadFile(scratch / "two.wma");
  WriteFile(scratch / "cover.wma",
            test_support::WithChangedHeader(two, test_support::AddCoverPictureFirst));
  WriteFile(scratch / "reordered.wma", test_support::WithChangedHeader(two, [](asf::Header& h) {
              const auto isStream = [](const asf::HeaderObject& object) {
                return std::holds_alternative<asf::StreamProperties>(object);
              };
              const auto first = std::find_if(h.objects.begin(), h.objects.end(), isStream);
              std::iter_swap(first, std::find_if(first + 1, h.objects.end(), isStream));
            }));
  Bytes probed;
  ASSERT_TRUE(
      RunCommand("ffprobe -v error -select_streams a -show_entries "
                 "stream=sample_rate,channels -of csv=p=0 '" +
                     (scratch / "two.wma").string() + "'",
                 probed));
  for (const char* name : {"two.wma", "cover.wma", "reordered.wma"}) {
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(scratch / name, reader), S_OK) << name;
    DWORD outputs = 0;
    ASSERT_EQ(reader->GetOutputCount(&outputs), S_OK);
    std::string formats;
    for (DWORD output = 0; output < outputs; ++output) {
      WAVEFORMATEX format{};
      GUID major{};
      EXPECT_EQ(OutputFormat(reader.get(), output, format, major), S_OK) << name;
      EXPECT_TRUE(major == WMMEDIATYPE_Audio) << name;
      formats +=
          std::to_string(format.nSamplesPerSec) + "," + std::to_string(format.nChannels) + "\n";
    }
    EXPECT_EQ(formats, std::string(probed.begin(), probed.end())) << name;
  }
}

// Without discrete output, more than two channels are folded to stereo; with it, all stay.
TEST_F(RuntimeTest, DiscreteOutputKeepsEveryChannel) {
  ScratchDirectory scratch;
  const auto path = scratch / "surround.wma";
  // A six-channel stream in an ASF file, written by ffmpeg as 16-bit PCM.
  FfmpegEncode("-f lavfi -i sine=duration=0.3 -ac 6", path, "-c:a pcm_s16le -f asf");
  for (const BOOL discrete : {FALSE, TRUE}) {
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(path, reader), S_OK);
    const BOOL value = discrete;
    EXPECT_EQ(reader->SetOutputSetting(0, u"EnableDiscreteOutput", WMT_TYPE_BOOL,
                                       reinterpret_cast<const BYTE*>(&value), 4),
              S_OK);
    const Pcm pcm = DecodeAll(reader.get());
    EXPECT_EQ(pcm.channels, discrete ? 6 : 2);
    EXPECT_EQ(pcm.bytes.size() % (2u * pcm.channels), 0u);
    EXPECT_GT(pcm.bytes.size(), 0u);
  }
}

// A format chosen by the caller is what the samples then carry: here 8-bit mono at 22050 Hz.
TEST_F(RuntimeTest, SetOutputPropsConvertsToTheChosenFormat) {
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(TestFile("taglib-silence-1.wma"), reader), S_OK);
  ComPtr<IWMOutputMediaProps> props;
  ASSERT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);
  MediaTypeBlock block;
  ASSERT_EQ(ReadMediaType(props.get(), block), S_OK);
  WM_MEDIA_TYPE* type = block.type;
  auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->pbFormat);
  wave->nChannels = 1;
  wave->nSamplesPerSec = 22050;
  wave->wBitsPerSample = 8;
  wave->nBlockAlign = 1;
  ASSERT_EQ(props->SetMediaType(type), S_OK);
  ASSERT_EQ(reader->SetOutputProps(0, props.get()), S_OK);

  Bytes bytes;
  for (;;) {
    ComPtr<INSSBuffer> sample;
    if (reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr) != S_OK)
      break;
    DWORD length = 0;
    sample->GetLength(&length);
    bytes.resize(bytes.size() + length);
  }
  // 3.7 s of 48 kHz become about as many seconds at 22050 one-byte samples.
  EXPECT_NEAR(static_cast<double>(bytes.size()), 712704.0 / 4 * 22050 / 48000, 2048);

  wave->wBitsPerSample = 12;
  ASSERT_EQ(props->SetMediaType(type), S_OK);
  EXPECT_EQ(reader->SetOutputProps(0, props.get()), NS_E_INVALID_OUTPUT_FORMAT);
}

// Calls on a reader that has no file, and bad arguments, are refused without effect.
TEST_F(RuntimeTest, ReaderRefusesCallsOutOfOrder) {
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(WMCreateSyncReader(nullptr, 1, reader.put()), S_OK);
  ComPtr<INSSBuffer> sample;
  EXPECT_EQ(reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr),
            NS_E_INVALID_REQUEST);
  EXPECT_EQ(reader->Close(), NS_E_INVALID_REQUEST);
  WMT_ATTR_DATATYPE type{};
  WORD settingLength = 4;
  EXPECT_EQ(reader->GetOutputSetting(0, u"EnableDiscreteOutput", &type, nullptr, &settingLength),
            E_UNEXPECTED);
  {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(reader.query_to(IID_IWMProfile, profile), S_OK);
    DWORD streams = 0;
    EXPECT_EQ(profile->GetStreamCount(&streams), E_UNEXPECTED);
  }
  EXPECT_EQ(reader->Open(nullptr), E_INVALIDARG);
  ASSERT_EQ(reader->Open(WidePath(TestFile("taglib-silence-1.wma")).c_str()), S_OK);
  EXPECT_EQ(reader->Open(WidePath(TestFile("taglib-silence-1.wma")).c_str()), NS_E_INVALID_REQUEST);
  ComPtr<IWMOutputMediaProps> props;
  EXPECT_EQ(reader->GetOutputFormat(1, 0, props.put()), E_INVALIDARG);
  EXPECT_EQ(reader->GetOutputFormat(0, 1, props.put()), NS_E_INVALID_OUTPUT_FORMAT);
  EXPECT_EQ(reader->GetNextSample(7, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr),
            E_INVALIDARG);
  // A sample still held after the reader's last release keeps working; the reader's workers
  // are gone with it.
  const std::size_t threads = RunningThreads();
  ASSERT_EQ(reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(RunningThreads(), threads + 3);  // three workers decoding ahead
  reader.reset();
  EXPECT_EQ(RunningThreads(), threads);
  DWORD length = 0;
  EXPECT_EQ(sample->GetLength(&length), S_OK);
  EXPECT_GT(length, 0u);
}

}  // namespace

namespace {

// Hostile headers: bytes of a real header changed at random, and the file cut at every length
// through its header. Each either opens or is refused; none crashes, hangs or leaks.
TEST_F(RuntimeTest, DamagedHeadersNeverCrash) {
  using namespace runtime_testing;
  ScratchDirectory scratch;
  const Bytes whole = ReadFile(TestFile("mutagen-issue_29.wma"));
  const std::size_t headerBytes = 5350;  // the header object of this file
  std::mt19937 random(29);
  std::uniform_int_distribution<std::size_t> position(16, headerBytes);
  std::uniform_int_distribution<int> value(0, 255);
  const auto path = scratch / "damaged.wma";
  for (int round = 0; round < 150; ++round) {
    Bytes file = whole;
    for (int k = 0; k < 1 + round % 4; ++k)
      file[position(random)] = static_cast<BYTE>(value(random));
    if (round % 3 == 0) file.resize(16 + round * 31);
    WriteFile(path, file);
    ComPtr<IWMSyncReader> reader;
    if (SUCCEEDED(OpenReader(path, reader))) {
      ComPtr<IWMHeaderInfo3> info;
      ASSERT_EQ(reader->QueryInterface(IID_IWMHeaderInfo3, info.put_void()), S_OK);
      WORD count = 0;
      EXPECT_EQ(info->GetAttributeCountEx(0, &count), S_OK);
      for (int samples = 0; samples < 1000; ++samples) {
        ComPtr<INSSBuffer> sample;
        if (FAILED(reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr,
                                         nullptr)))
          break;
      }
    }
  }
}

}  // namespace
