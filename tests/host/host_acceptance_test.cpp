// The host program driving the native filter over the stand-in runtime on real files, as a
// person uses it: decoding the real Windows Media files, and saving tagged audio and reading
// it back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <dialog_testing.h>

#include "filter_library.h"
#include "options/options_resource.h"
#include "support/program_run.h"
#include "wave_contents.h"
#include "wave_reader.h"
#include "windows/dialog_choices.h"

namespace {

using test_support::ProgramRun;
using test_support::ReadBytes;
using test_support::RunProgram;
using test_support::ScratchDirectory;
using ::testing::HasSubstr;

const std::string kHost = FILTERHOST_PATH;
const std::string kWaveTool = WAVETOOL_PATH;
const std::string kTestData = WMAFILTER_TESTDATA_DIR;

// ffmpeg's own decode of a file, as raw little-endian samples of the given format.
std::vector<std::uint8_t> FfmpegDecode(const std::string& file, const std::string& format,
                                       const ScratchDirectory& directory) {
  const std::string raw = directory / ("ffmpeg." + format);
  const ProgramRun result =
      RunProgram({"ffmpeg", "-v", "error", "-y", "-i", file, "-f", format, raw});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return ReadBytes(raw);
}

std::map<std::string, std::string> TagTexts(const std::vector<WaveTag>& tags) {
  std::map<std::string, std::string> texts;
  for (const WaveTag& tag : tags) texts[tag.listType + "/" + tag.chunkId] = TagText(tag);
  return texts;
}

struct SharedFile {
  const char* name;
  bool packed24;       // a 24-bit source, delivered to the host as floats
  std::size_t frames;  // the header's length where the final frame overhangs it, else all
};

class SharedFileDecode : public ::testing::TestWithParam<SharedFile> {};

TEST_P(SharedFileDecode, AudioEqualsFfmpegsDecode) {
  const ScratchDirectory directory;
  const std::string input = kTestData + "/" + GetParam().name;
  const std::string output = directory / "decoded.wav";
  const ProgramRun decode = RunProgram({kHost, "decode", input, output});
  ASSERT_EQ(decode.exitCode, 0) << decode.err;

  WaveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(output, error)) << error;
  std::vector<std::uint8_t> ours(reader.dataBytes());
  reader.Read(ours.data(), ours.size());
  ASSERT_EQ(ours.size(), GetParam().frames * reader.format().frameBytes());

  // The audio kept is ffmpeg's, which runs on to the end of the final frame.
  if (!GetParam().packed24) {
    EXPECT_EQ(reader.format().bitsPerSample, 16);
    const std::vector<std::uint8_t> reference = FfmpegDecode(input, "s16le", directory);
    ASSERT_LE(ours.size(), reference.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), reference.begin())) << "16-bit audio differs";
    return;
  }
  // The float path: each float times 2^23 is the 24-bit sample, within one step.
  ASSERT_EQ(reader.format().encoding, SampleEncoding::kFloat);
  const std::vector<std::uint8_t> reference = FfmpegDecode(input, "s24le", directory);
  ASSERT_LE(ours.size() / 4, reference.size() / 3);
  for (std::size_t i = 0; i < ours.size() / 4; ++i) {
    float value;
    std::memcpy(&value, ours.data() + 4 * i, 4);
    const std::int32_t expected =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(reference[3 * i]) << 8 |
                                  static_cast<std::uint32_t>(reference[3 * i + 1]) << 16 |
                                  static_cast<std::uint32_t>(reference[3 * i + 2]) << 24) >>
        8;
    ASSERT_LE(std::abs(std::lround(value * 8388608.0) - expected), 1) << "sample " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SharedFileDecode,
                         ::testing::Values(SharedFile{"mutagen-issue_29.wma", false, 36864},
                                           SharedFile{"mutagen-silence-2.wma", true, 162464},
                                           SharedFile{"mutagen-silence-3.wma", false, 162464},
                                           SharedFile{"taglib-lossless.wma", false, 156511},
                                           SharedFile{"taglib-real_example.wma", false, 0},
                                           SharedFile{"taglib-silence-1.wma", false, 178176}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(HostDecode, CarriesTheFilesMappedTagsIntoTheWaveFile) {
  const ScratchDirectory directory;
  const std::string output = directory / "issue_29.wav";
  ASSERT_EQ(RunProgram({kHost, "decode", kTestData + "/mutagen-issue_29.wma", output}).exitCode, 0);
  const auto tags = TagTexts(ReadWaveTags(output));
  EXPECT_EQ(tags.at("WAVE/DISP"), "Se\xF1or Flamingos Adieu");  // Windows-1252
  EXPECT_EQ(tags.at("INFO/IART"), "Kaizers Orchestra");
  EXPECT_EQ(tags.at("INFO/INAM"), "Live at Vega");
  EXPECT_EQ(tags.at("INFO/ICRD"), "2006");

  // The display chunk is a 32-bit text format code and the text.
  for (const WaveTag& tag : ReadWaveTags(output)) {
    if (tag.chunkId == "DISP") {
      ASSERT_GE(tag.data.size(), 4u);
      EXPECT_EQ(tag.data[0], 1);
    }
  }
}

class HostRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    const ProgramRun made = RunProgram({kWaveTool,   original_,
                                        "--seconds", "3",
                                        "--tag",     "WAVE/DISP=Two Tones",
                                        "--tag",     "INFO/IART=The Ensemble",
                                        "--tag",     "INFO/ICMT=first line\nsecond line",
                                        "--tag",     "INFO/ICOP=(c) 2026 Nobody",
                                        "--tag",     "INFO/ICRD=2026",
                                        "--tag",     "INFO/IGNR=Électronique",
                                        "--tag",     "INFO/INAM=Signals",
                                        "--tag",     "INFO/ISFT=wavetool"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  const ScratchDirectory directory_;
  const std::string original_ = directory_ / "original.wav";
  const std::string encoded_ = directory_ / "encoded.wma";
  const std::string decoded_ = directory_ / "decoded.wav";
};

TEST_F(HostRoundTrip, TagsAndAudioComeBackFromSampleZero) {
  const ProgramRun encode = RunProgram({kHost, "encode", original_, encoded_});
  ASSERT_EQ(encode.exitCode, 0) << encode.err;
  EXPECT_THAT(encode.out, HasSubstr("options 0x"));
  const ProgramRun decode = RunProgram({kHost, "decode", encoded_, decoded_});
  ASSERT_EQ(decode.exitCode, 0) << decode.err;

  // Every mapped tag comes back; line breaks come back as CR LF.
  auto expected = TagTexts(ReadWaveTags(original_));
  expected["INFO/ICMT"] = "first line\r\nsecond line";
  EXPECT_EQ(TagTexts(ReadWaveTags(decoded_)), expected);

  // ffprobe sees the tags in the Windows Media file.
  const ProgramRun probe = RunProgram(
      {"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "default", encoded_});
  for (const char* value : {"Two Tones", "The Ensemble", "(c) 2026 Nobody", "Signals", "wavetool",
                            "2026", "first line"}) {
    EXPECT_THAT(probe.out, HasSubstr(value));
  }

  // No lost start: compared from sample 0 without any alignment search; and no added end.
  const std::vector<std::int16_t> original = ReadPcm16(original_);
  const std::vector<std::int16_t> decoded = ReadPcm16(decoded_);
  ASSERT_EQ(decoded.size(), original.size());
  const std::size_t compared = original.size() - 2 * 4096;
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < compared; ++i) {
    const double sample = original[i];
    const double error = sample - decoded[i];
    signal += sample * sample;
    noise += error * error;
  }
  // Our WMA v2 encoder puts its noise under the masking threshold rather than making it as
  // small as it can (about 27 dB SNR on these tones at the default 128 kbps); a lost or
  // shifted start leaves no SNR at all.
  EXPECT_GE(10 * std::log10(signal / noise), 20.0);
}

// Lossless saves give every sample back through the host's decode (24-bit with --pcm24): a
// row for each width, with rates and channel counts across the catalogue's VBR Quality 100
// formats (the word's format index: width, then rate, then channels in the order 2, 1, 3-6).
TEST(HostLossless, SavesAndDecodesEverySample) {
  struct Row {
    const char* format;
    const char* rate;
    const char* channels;
    const char* word;
  };
  const Row rows[] = {{"s16", "44100", "2", "0x80020000"},
                      {"s24", "48000", "2", "0x8002001e"},
                      {"s16", "96000", "6", "0x80020017"},
                      {"s24", "88200", "1", "0x80020025"}};
  const ScratchDirectory directory;
  // The samples: what follows the "data" chunk's header.
  auto samples = [](const std::string& path) {
    const auto bytes = ReadBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t data = text.find("data");
    return data == std::string::npos ? std::string() : text.substr(data + 8);
  };
  for (const Row& row : rows) {
    const std::string name = std::string(row.format) + "-" + row.rate + "-" + row.channels;
    const std::string original = directory / (name + ".wav");
    const std::string encoded = directory / (name + ".wma");
    const std::string decoded = directory / (name + ".back.wav");
    ASSERT_EQ(RunProgram({kWaveTool, original, "--seconds", "2", "--rate", row.rate, "--channels",
                          row.channels, "--format", row.format})
                  .exitCode,
              0);
    const ProgramRun encode =
        RunProgram({kHost, "encode", original, encoded, "--options", row.word});
    ASSERT_EQ(encode.exitCode, 0) << name << ": " << encode.err;
    std::vector<std::string> decode = {kHost, "decode", encoded, decoded};
    if (std::string(row.format) == "s24") decode.push_back("--pcm24");
    const ProgramRun decodeRun = RunProgram(decode);
    ASSERT_EQ(decodeRun.exitCode, 0) << name << ": " << decodeRun.err;
    const std::string in = samples(original);
    EXPECT_FALSE(in.empty()) << name;
    EXPECT_TRUE(samples(decoded) == in) << name;
  }
}

TEST_F(HostRoundTrip, SizeEstimateIsNeverBelowWhatIsDelivered) {
  ASSERT_EQ(RunProgram({kHost, "encode", original_, encoded_}).exitCode, 0);
  const ProgramRun info = RunProgram({kHost, "info", "--json", encoded_});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  for (const char* key : {"\"understood\": true", "\"sampleRate\": 44100", "\"bitsPerSample\": 16",
                          "\"channels\": 2", "\"chunkSize\": 65536", "\"fileSize\":",
                          "\"codecText\":", "\"options\":", "\"tags\":", "\"registration\":"}) {
    EXPECT_THAT(info.out, HasSubstr(key));
  }
  const std::size_t at = info.out.find("\"fileSize\": ");
  const unsigned long long estimate = std::stoull(info.out.substr(at + 12));

  ASSERT_EQ(RunProgram({kHost, "decode", encoded_, decoded_}).exitCode, 0);
  WaveReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(decoded_, error));
  EXPECT_GE(estimate, reader.dataBytes());
}

TEST(HostErrors, AreOneLineWithANonZeroExit) {
  const ScratchDirectory directory;
  const std::string text = directory / "notes.wma";
  std::ofstream(text) << "not audio at all\n";
  const std::string missing = directory / "missing.wma";
  const std::string wave = directory / "out.wav";
  const std::string wma = directory / "out.wma";

  for (const std::vector<std::string>& command :
       {std::vector<std::string>{kHost, "info", missing},
        {kHost, "decode", text, wave},
        {kHost, "encode", text, wma},
        {kHost, "decode", directory.path().string(), wave}}) {
    const ProgramRun result = RunProgram(command);
    EXPECT_NE(result.exitCode, 0) << command[1] << " " << command[2];
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_THAT(result.err, HasSubstr("filterhost: ")) << command[1] << " " << command[2];
  }
  EXPECT_FALSE(std::filesystem::exists(wma));
  EXPECT_FALSE(std::filesystem::exists(wave));

  // --verbose shows the runtime's call that failed and its result: here the reading of the
  // header of a file that is no ASF file (ASF_E_INVALIDHEADER).
  const ProgramRun traced = RunProgram({kHost, "--verbose", "decode", text, wave});
  EXPECT_THAT(traced.err, HasSubstr("wmvcore: failed 0xC00D07E2 at sync_reader.cpp:"));
  EXPECT_THAT(traced.err, HasSubstr("ReadAsfFileHeader(*path, file)"));
}

// ---- Interrupted and concurrent runs: an earlier output stays as it was, or is replaced
// whole, and no scratch file is left ----

// A long WAVE file and its Windows Media encoding, made once for the runs below.
struct LongMedia {
  ScratchDirectory directory;
  std::string wave = directory / "long.wav";
  std::string wma = directory / "long.wma";

  static const LongMedia& Get() {
    static const LongMedia media;
    return media;
  }

 private:
  LongMedia() {
    EXPECT_EQ(RunProgram({kWaveTool, wave, "--seconds", "60", "--signal", "noise"}).exitCode, 0);
    EXPECT_EQ(RunProgram({kHost, "encode", wave, wma}).exitCode, 0);
  }
};

// The files in a directory, or any folder below, whose names start with a dot: scratch files.
std::vector<std::string> HiddenFiles(const ScratchDirectory& directory) {
  std::vector<std::string> hidden;
  for (const std::string& name : directory.Contents())
    if (std::filesystem::path(name).filename().string()[0] == '.') hidden.push_back(name);
  return hidden;
}

// When a signal is sent: at once, or once a scratch file holds part of the output.
enum class Moment { kAtOnce, kWhileWriting };

bool Reached(Moment moment, const ScratchDirectory& directory) {
  for (const std::string& name : HiddenFiles(directory)) {
    std::error_code error;
    if (moment == Moment::kWhileWriting &&
        std::filesystem::file_size(directory.path() / name, error) > (1u << 18))
      return true;
  }
  return moment == Moment::kAtOnce;
}

struct Interruption {
  const char* command;
  int signal;
  Moment moment;
  // The signal sent three times more, 0 to 10 ms after the first. (Two different signals
  // that come together are pending together, and the system hands them over in no set order.)
  bool repeated = false;
  bool moveFolder = false;  // the output's folder is renamed just before the signal
};

class HostInterruption : public ::testing::TestWithParam<Interruption> {};

// Also: while written, every scratch file is private (the earlier file is 0644 here).
TEST_P(HostInterruption, KeepsTheEarlierFileAndLeavesNoScratchFile) {
  const Interruption& when = GetParam();
  const bool encode = std::string(when.command) == "encode";
  const ScratchDirectory directory;
  std::filesystem::create_directory(directory / "folder");
  const std::string leaf = encode ? "out.wma" : "out.wav";
  const std::string earlier = kTestData + "/mutagen-issue_29.wma";
  const std::string named = directory / ("folder/" + leaf);
  std::filesystem::copy_file(earlier, named);
  chmod(named.c_str(), 0644);
  const std::string input = encode ? LongMedia::Get().wave : LongMedia::Get().wma;

  test_support::StartedProgram host({kHost, when.command, input, named});
  while (!host.Ended() && !Reached(when.moment, directory)) usleep(200);
  for (const std::string& name : HiddenFiles(directory)) {
    struct stat status {};
    if (stat((directory.path() / name).c_str(), &status) == 0) {
      EXPECT_EQ(status.st_mode & 0777 & ~0600u, 0u) << name << " is not private";
    }
  }
  std::string folder = "folder";
  if (when.moveFolder) {
    ASSERT_EQ(rename((directory / "folder").c_str(), (directory / "moved").c_str()), 0);
    folder = "moved";
  }
  // Sent only while the program has not been reaped, so that its number is still its own.
  const auto signal = [&host, &when] {
    if (!host.Ended()) kill(host.pid(), when.signal);
  };
  signal();
  for (const useconds_t pause : {0, 1000, 10000}) {
    if (!when.repeated) break;
    usleep(pause);
    signal();
  }
  const ProgramRun run = host.Wait();

  EXPECT_THAT(HiddenFiles(directory), ::testing::IsEmpty());
  const std::string output = directory / (folder + "/" + leaf);
  if (run.exitCode == 0) {  // it finished before the signal came: the output is whole
    EXPECT_TRUE(encode ? RunProgram({kHost, "info", output}).exitCode == 0
                       : !ReadPcm16(output).empty());
    return;
  }
  EXPECT_EQ(run.exitCode, 128 + when.signal) << run.err;
  EXPECT_TRUE(ReadBytes(output) == ReadBytes(earlier)) << "the earlier file changed";
}

std::vector<Interruption> Interruptions() {
  std::vector<Interruption> all;
  for (const char* command : {"encode", "decode"})
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
      for (const Moment moment : {Moment::kAtOnce, Moment::kWhileWriting})
        all.push_back({command, signal, moment});
  // Signals during the clean-up of the first, as a Ctrl-C on `timeout` sends them, and a
  // folder renamed during the run.
  all.push_back({"encode", SIGINT, Moment::kWhileWriting, true});
  all.push_back({"encode", SIGTERM, Moment::kAtOnce, true});
  all.push_back({"decode", SIGTERM, Moment::kWhileWriting, true});
  all.push_back({"encode", SIGTERM, Moment::kWhileWriting, false, true});
  all.push_back({"decode", SIGINT, Moment::kWhileWriting, true, true});
  return all;
}

std::string InterruptionName(const ::testing::TestParamInfo<Interruption>& info) {
  constexpr const char* kMoments[] = {"AtOnce", "WhileWriting"};
  std::string name = std::string(info.param.command) + "_" + strsignal(info.param.signal) + "_" +
                     kMoments[static_cast<int>(info.param.moment)];
  if (info.param.repeated) name += "_Repeated";
  if (info.param.moveFolder) name += "_FolderMoved";
  std::erase(name, ' ');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Signals, HostInterruption, ::testing::ValuesIn(Interruptions()),
                         InterruptionName);

// Two decodes into one output at once: each renames a whole file into place, so the file is
// one of the two decodes, never a mix.
TEST(HostConcurrency, TwoDecodesIntoOneOutputLeaveOneWholeFile) {
  const ScratchDirectory directory;
  const std::string inputs[] = {kTestData + "/taglib-lossless.wma",
                                kTestData + "/mutagen-issue_29.wma"};
  std::vector<std::uint8_t> alone[2];
  for (int i = 0; i < 2; ++i) {
    const std::string decoded = directory / ("alone" + std::to_string(i) + ".wav");
    ASSERT_EQ(RunProgram({kHost, "decode", inputs[i], decoded}).exitCode, 0);
    alone[i] = ReadBytes(decoded);
  }
  const std::string output = directory / "out.wav";
  for (int round = 0; round < 4; ++round) {
    test_support::StartedProgram first({kHost, "decode", inputs[0], output});
    test_support::StartedProgram second({kHost, "decode", inputs[1], output});
    EXPECT_EQ(first.Wait().exitCode, 0);
    EXPECT_EQ(second.Wait().exitCode, 0);
    const std::vector<std::uint8_t> result = ReadBytes(output);
    EXPECT_TRUE(result == alone[0] || result == alone[1]) << "round " << round;
    EXPECT_THAT(HiddenFiles(directory), ::testing::IsEmpty());
  }
}

// wavetool's conventions; filterhost's are rows of the bad-input table.
TEST(HostConventions, WavetoolHelpGoesToStandardOutputAndDoubleDashEndsTheOptions) {
  const ProgramRun help = RunProgram({kWaveTool, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("usage:"));
  const ScratchDirectory directory;
  ASSERT_EQ(RunProgram({kWaveTool, "--seconds", "0.1", "--", directory / "x.wav"}).exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(directory / "x.wav"));
}

// The options dialog over the stand-in runtime, headless: each choice of the table that the
// Windows build's dialog is held to under Wine gives the table's word here too.
TEST(HostOptionsDialog, EachChoiceOfTheSharedTableGivesItsWord) {
  FilterLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(FILTER_LIBRARY_PATH, error)) << error;
  const std::vector<DialogChoice> choices = ReadDialogChoices(DIALOG_CHOICES_PATH);
  ASSERT_FALSE(choices.empty());
  for (const DialogChoice& choice : choices) {
    const platform_testing::ScopedDialogScript script([&](platform_testing::DialogUser& user) {
      EXPECT_TRUE(user.Select(IDC_MODE, choice.mode));
      EXPECT_TRUE(user.SelectText(IDC_CODEC, choice.codec));
      EXPECT_TRUE(user.SelectText(IDC_FORMAT, choice.format));
      EXPECT_TRUE(user.Click(IDOK));
    });
    EXPECT_EQ(library.exports().filterGetOptions(nullptr, library.module(), 0, 0, 0, 0),
              choice.word)
        << choice.codec << ", " << choice.format;
  }
}

}  // namespace
