// The bad-input table: filterhost run the way a user runs it, on files and paths that no editor
// should be handed. Each row states its result: a one-line message on stderr and exit 1, or a
// defined success. Every row also holds filterhost to what the filter promises on bad input:
// COM balanced and no runtime object or memory block left at exit (WMAFILTER_CHECK_BALANCE),
// no sanitizer report (the asan build's programs abort on one), and no file left behind by a
// failure: the scratch directory holds exactly what it held before the run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "hardening/wave_bytes.h"
#include "support/made_asf_files.h"
#include "support/program_run.h"

namespace hardening {
namespace {

using test_support::ProgramRun;
using test_support::ReadBytes;
using test_support::RunProgram;
using test_support::ScratchDirectory;
using test_support::WriteBytes;

constexpr char kNotReadable[] = "not a Windows Media file the filter can read";
constexpr char kRefused[] = "the filter refused to write";
// One of the real test files: 48 kHz stereo, a header of 4984 bytes, then the data object.
constexpr char kSampleName[] = "taglib-silence-1.wma";
constexpr std::size_t kLongestTagText = 32766;

std::string Testdata(const std::string& name) {
  return std::string(WMAFILTER_TESTDATA_DIR) + "/" + name;
}

// What the table's rows share: the files ffmpeg makes and those made from them, the sample
// file's layout and its whole decode, made once.
struct SharedMedia {
  ScratchDirectory directory;
  std::size_t headerBytes = 0;
  std::size_t fileBytes = 0;
  std::uint32_t decodedBytes = 0;

  static const SharedMedia& Get() {
    static const SharedMedia media;
    return media;
  }
  std::string operator/(const std::string& name) const { return directory / name; }

 private:
  SharedMedia() {
    const ProgramRun made = RunProgram({MAKE_MEDIA_FILES, directory.path()});
    if (made.exitCode != 0) ADD_FAILURE() << "make_media_files: " << made.err;
    const Bytes titled = ReadBytes(directory / "titled.wma");
    WriteBytes(directory / "cover-first.wma",
               test_support::WithChangedHeader(titled, test_support::AddCoverPictureFirst));
    WriteBytes(directory / "protected.wma",
               test_support::WithChangedHeader(
                   titled, test_support::Protected(wmvcore::asf::kContentEncryptionObject)));
    const Bytes sample = ReadBytes(Testdata(kSampleName));
    fileBytes = sample.size();
    // The header object's size: the 64-bit field after its 16-byte identifier.
    for (std::size_t i = 0; i < 8 && 16 + i < sample.size(); ++i)
      headerBytes |= static_cast<std::size_t>(sample[16 + i]) << (8 * i);
    const ProgramRun decoded =
        RunProgram({FILTERHOST, "decode", Testdata(kSampleName), directory / "whole.wav"});
    if (decoded.exitCode != 0) ADD_FAILURE() << "whole decode: " << decoded.err;
    decodedBytes = SummarizeWave(ReadBytes(directory / "whole.wav")).dataBytes;
  }
};

// ---- Rows ---------------------------------------------------------------------------------

enum class Result { kFails, kSucceeds };
// What filterhost's standard output is: captured for the row's message, one that fails, or
// the row's file "song.wma" opened for writing in place (`1<>`) or for appending (`>>`).
enum class StandardOutput { kCaptured, kFullDevice, kClosedPipe, kSongInPlace, kSongAppending };

struct Row {
  std::string name;
  // Makes the row's files in the scratch directory; returns filterhost's arguments.
  std::function<std::vector<std::string>(const ScratchDirectory&)> prepare;
  Result result;
  std::string message;  // part of the one line a failure writes, or of what a success prints
  std::vector<std::string> outputs = {};  // the files a success adds, relative to the directory
  std::function<void(const ScratchDirectory&)> verify = nullptr;  // further checks, either way
  bool unprivileged = false;  // run as a user whom file permissions bind, even under root
  bool fullDisk = false;  // "full/" in the directory is as good as full; the message is its reason
  std::string readFault = "";  // "NAME@OFFSET": reads of NAME from OFFSET on fail, as on a bad disk
  StandardOutput standardOutput = StandardOutput::kCaptured;
  std::string notice = "";         // the one line a success writes on stderr; none unless given
  std::string shrinkAt = "";       // "NAME@OFFSET": NAME is cut at OFFSET once reading reaches it
  bool plainFolder = false;        // "plain/" in the directory takes no extended attributes (ramfs)
  bool workerMemoryFault = false;  // FFmpeg's allocations fail on the two coding workers
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }

std::vector<std::string> Decode(const std::string& input, const std::string& output) {
  return {"decode", input, output};
}
std::vector<std::string> Encode(const std::string& input, const std::string& output,
                                std::vector<std::string> options = {}) {
  std::vector<std::string> arguments = {"encode", input, output};
  arguments.insert(arguments.end(), options.begin(), options.end());
  return arguments;
}

// A WAVE file of these bytes in the directory, to encode.
std::string WaveInput(const ScratchDirectory& directory, const Bytes& file,
                      const std::string& name = "in.wav") {
  WriteBytes(directory / name, file);
  return directory / name;
}

// An "INFO" list whose one item claims far more bytes than the list holds.
Bytes ItemLongerThanItsList() {
  Bytes list = InfoList("IART", "Someone");
  list[8] = 0xF0;  // the low byte of the item's size
  return list;
}

void ExpectDevFullUntouched(const ScratchDirectory&) {
  struct stat status;
  ASSERT_EQ(stat("/dev/full", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode)) << "the device is left as it was";
}

// A row that encodes a WAVE file of these bytes, with more of filterhost's options.
Row EncodeWave(const std::string& name, const Bytes& file, Result result,
               const std::string& message = "", std::vector<std::string> options = {},
               const std::string& notice = "") {
  Row row{name,
          [file, options](const ScratchDirectory& d) {
            return Encode(WaveInput(d, file), d / "out.wma", options);
          },
          result, message};
  if (result == Result::kSucceeds) row.outputs = {"out.wma"};
  row.notice = notice;
  return row;
}

ProgramRun Info(const std::string& path) {
  return RunProgram({FILTERHOST, "info", path, "--json"});
}

// The text of a tag in filterhost's JSON description of a file, or nullopt.
std::optional<std::string> TagTextIn(const std::string& json, const std::string& chunkId) {
  const std::string key = "\"chunkId\": \"" + chunkId + "\", \"text\": \"";
  const std::size_t start = json.find(key);
  if (start == std::string::npos) return std::nullopt;
  const std::size_t text = start + key.size();
  return json.substr(text, json.find('"', text) - text);
}

void ExpectDecodedPart(const ScratchDirectory& directory, bool someAudio) {
  const WaveSummary wave = SummarizeWave(ReadBytes(directory / "out.wav"));
  ASSERT_TRUE(wave.valid);
  EXPECT_EQ(wave.rate, 48000u);
  EXPECT_EQ(wave.channels, 2u);
  EXPECT_LE(wave.dataBytes, SharedMedia::Get().decodedBytes);
  if (someAudio) {
    EXPECT_GT(wave.dataBytes, 0u);
  }
}

// A WMA file cut to its first `bytes(header size, file size)` bytes, decoded.
Row CutWma(const std::string& where, std::function<std::size_t(std::size_t, std::size_t)> bytes,
           Result result, bool someAudio = false) {
  Row row{"WmaCut" + where,
          [bytes](const ScratchDirectory& directory) {
            const SharedMedia& media = SharedMedia::Get();
            Bytes file = ReadBytes(Testdata(kSampleName));
            file.resize(bytes(media.headerBytes, media.fileBytes));
            WriteBytes(directory / "cut.wma", file);
            return Decode(directory / "cut.wma", directory / "out.wav");
          },
          result, result == Result::kFails ? kNotReadable : ""};
  if (result == Result::kSucceeds) {
    row.outputs = {"out.wav"};
    row.verify = [someAudio](const ScratchDirectory& directory) {
      ExpectDecodedPart(directory, someAudio);
    };
  }
  return row;
}

// A row that saves a file of `channels` channels, silent but for a tone in `toneChannel`, and
// hears the tone in the saved file's decode; `notice` is what the save says on stderr.
Row ToneHeard(const std::string& name, const Bytes& format, std::uint16_t channels,
              std::uint16_t toneChannel, const std::string& notice) {
  Row row = EncodeWave(
      name, RiffWave({{"fmt ", format}, {"data", ToneSamples(0.5, channels, toneChannel)}}),
      Result::kSucceeds);
  row.notice = notice;
  row.verify = [](const ScratchDirectory& d) {
    const ProgramRun decoded = RunProgram({FILTERHOST, "decode", d / "out.wma", d / "heard.wav"});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    // A quarter of full scale, mixed in at -3 dB, and the whole mix scaled so that no
    // speaker can pass full scale: about 0.04, where a channel left out would be silence.
    EXPECT_GT(LoudestSample(ReadBytes(d / "heard.wav")), 0.02);
  };
  return row;
}

// A path of exactly `length` characters inside the directory, its directories made, ending in
// `name`.
std::string PathOfLength(const ScratchDirectory& directory, std::size_t length,
                         const std::string& name) {
  std::string path = directory.path().string();
  while (length - path.size() > 60) {
    path += "/" + std::string(49, 'd');
    mkdir(path.c_str(), 0755);
  }
  path += "/";
  return path + std::string(length - path.size() - name.size(), 'n') + name;
}

// A folder where writing soon fails as on a full disk: a small tmpfs mounted there where this
// process may mount one, otherwise a limit on the size of the files that the programs it runs
// meanwhile write (which filterhost reports as it reports a full disk, in the system's words).
class FullFolder {
 public:
  explicit FullFolder(const std::string& path) : path_(path) {
    mkdir(path.c_str(), 0777);
    mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  ~FullFolder() {
    Unfill();
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }

  // Makes the folder full for the programs run from now on; false when that cannot be done.
  bool Fill() {
    if (mounted_) return true;
    if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return false;
    rlimit limit = saved_;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256 * 1024);
    limited_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    return limited_;
  }
  // Lifts the limit again; the tmpfs stays full, and stays until the folder goes.
  void Unfill() {
    if (limited_) setrlimit(RLIMIT_FSIZE, &saved_);
    limited_ = false;
  }
  // What a write in the folder meets.
  std::string reason() const { return std::strerror(mounted_ ? ENOSPC : EFBIG); }

 private:
  std::string path_;
  bool mounted_ = false;
  bool limited_ = false;
  rlimit saved_{};
};

// A folder on a file system without extended attributes or ACLs, where this process may
// mount one.
class PlainFolder {
 public:
  explicit PlainFolder(const std::string& path) : path_(path) {
    mkdir(path.c_str(), 0755);
    mounted_ = mount("ramfs", path.c_str(), "ramfs", 0, nullptr) == 0;
  }
  ~PlainFolder() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

// An ACL that keeps the file from its group and lets the unprivileged user read it, and an
// attribute of the user's, on a file of mode 0640.
void GiveAclAndAttribute(const std::string& path) {
  chmod(path.c_str(), 0640);
  const ProgramRun set = RunProgram({"setfacl", "-m", "g::---,u:nobody:r", path});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(setxattr(path.c_str(), "user.origin", "kept", 4, 0), 0) << std::strerror(errno);
}

std::string AclOf(const std::string& path) {
  return RunProgram({"getfacl", "--omit-header", "--numeric", path}).out;
}

// A replace onto an earlier file with an ACL and an attribute keeps both, as a file made
// beside it with the same ones has them.
Row KeepsAclAndAttribute(const std::string& name, bool encode) {
  const std::string output = encode ? "out.wma" : "out.wav";
  return {name,
          [encode, output](const ScratchDirectory& d) {
            WriteBytes(d / output, PcmWave(0.2));
            WriteBytes(d / "model", {});
            GiveAclAndAttribute(d / output);
            GiveAclAndAttribute(d / "model");
            return encode ? Encode(WaveInput(d, PcmWave(0.2)), d / output)
                          : Decode(Testdata(kSampleName), d / output);
          },
          Result::kSucceeds,
          "",
          {},
          [output](const ScratchDirectory& d) {
            EXPECT_NE(ReadBytes(d / output), PcmWave(0.2)) << "replaced";
            EXPECT_EQ(AclOf(d / output), AclOf(d / "model"));
            char value[8] = {};
            EXPECT_EQ(getxattr((d / output).c_str(), "user.origin", value, sizeof(value)), 4);
            EXPECT_STREQ(value, "kept");
          }};
}

std::vector<Row> Rows() {
  std::vector<Row> rows = {
      // ---- Files that are not there or not files ----
      {"MissingFile",
       [](const ScratchDirectory& d) { return Decode(d / "missing.wma", d / "out.wav"); },
       Result::kFails, "No such file or directory"},
      {"Directory",
       [](const ScratchDirectory& d) {
         return std::vector<std::string>{"info", d / ""};
       },
       Result::kFails, "is a directory"},
      {"EmptyFile",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "empty.wma", {});
         return Decode(d / "empty.wma", d / "out.wav");
       },
       Result::kFails, kNotReadable},

      // ---- Files of other kinds under the filter's extension ----
      {"WaveRenamedWma",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "wave.wma", PcmWave(0.2));
         return Decode(d / "wave.wma", d / "out.wav");
       },
       Result::kFails, kNotReadable},
      {"Mp3RenamedWma",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "mp3.wma", ReadBytes(SharedMedia::Get() / "tone.mp3"));
         return Decode(d / "mp3.wma", d / "out.wav");
       },
       Result::kFails, kNotReadable},
      {"VideoFirstWmv",
       [](const ScratchDirectory& d) {
         return Decode(SharedMedia::Get() / "video-first.wmv", d / "out.wav");
       },
       Result::kFails, kNotReadable},
      {"TwoAudioStreamsGiveTheFirst",
       [](const ScratchDirectory& d) {
         return Decode(SharedMedia::Get() / "two-audio.wma", d / "out.wav");
       },
       Result::kSucceeds,
       "",
       {"out.wav"},
       [](const ScratchDirectory& d) {
         const WaveSummary wave = SummarizeWave(ReadBytes(d / "out.wav"));
         ASSERT_TRUE(wave.valid);
         EXPECT_EQ(wave.rate, 44100u);  // the first stream's; the second is at 22050 Hz
         EXPECT_EQ(wave.channels, 1u);
         EXPECT_GT(wave.dataBytes, 0u);
       }},

      {"CoverPictureBeforeTheAudio",
       [](const ScratchDirectory& d) {
         return Decode(SharedMedia::Get() / "cover-first.wma", d / "out.wav");
       },
       Result::kSucceeds,
       "",
       {"out.wav"},
       [](const ScratchDirectory& d) {
         // The audio as ffmpeg decodes it, and the tags; the picture is passed over.
         const std::string file = SharedMedia::Get() / "cover-first.wma";
         RunProgram({"ffmpeg", "-v", "error", "-i", file, "-f", "s16le", d / "ffmpeg.raw"});
         const Bytes wave = ReadBytes(d / "out.wav");
         const Bytes reference = ReadBytes(d / "ffmpeg.raw");
         ASSERT_GE(wave.size(), reference.size());
         EXPECT_TRUE(std::equal(reference.begin(), reference.end(), wave.end() - reference.size()));
         EXPECT_EQ(SummarizeWave(wave).dataBytes, reference.size());
         EXPECT_EQ(TagTextIn(Info(file).out, "DISP"), "Cover");
         EXPECT_EQ(TagTextIn(Info(file).out, "IART"), "Someone");
       }},
      {"ProtectedContent",
       [](const ScratchDirectory& d) {
         return Decode(SharedMedia::Get() / "protected.wma", d / "out.wav");
       },
       Result::kFails, "the file is protected"},
      {"HeaderWithoutPackets",
       [](const ScratchDirectory& d) {
         return Decode(Testdata("taglib-real_example.wma"), d / "out.wav");
       },
       Result::kSucceeds,
       ": 0 bytes of audio into",
       {"out.wav"}},

      // ---- Sample types and options the filter does not take ----
      EncodeWave("OptionsNameNoCodec", PcmWave(0.2), Result::kFails, kRefused,
                 {"--options", "0x00FF0000"}),
      EncodeWave("OptionsNameNoFormat", PcmWave(0.2), Result::kFails, kRefused,
                 {"--options", "0x0000FFFF"}),
      // One rule for blanks in option values: passed over around a number, refused inside it.
      EncodeWave("OptionsWordWithABlankAfter", PcmWave(0.2), Result::kSucceeds,
                 "with options 0x00000007 (", {"--options", "7 "}),
      EncodeWave("OptionsWordWithABlankInside", PcmWave(0.2), Result::kFails,
                 "not an options word: 0x 7", {"--options", "0x 7"}),
      // A codec, bit rate or quality instead of a word: refused before any work, in one line
      // that names what is offered; a layout taken for the input's, said in one line.
      EncodeWave("CodecUnknown", PcmWave(0.2), Result::kFails,
                 "no codec named \"aac\": --codec takes a short name (v2, v1, lossless, pro)",
                 {"--codec", "aac"}),
      EncodeWave(
          "BitRateNotOffered", PcmWave(0.2), Result::kFails,
          "no 97 kbps format of Windows Media Audio V8 for 44.1 kHz stereo; nearest: 96, 128",
          {"--bitrate", "97"}),
      EncodeWave(
          "QualityNotOffered", PcmWave(0.2), Result::kFails,
          "no quality 95 format of Windows Media Audio V8 for 44.1 kHz stereo; nearest: 90, 98",
          {"--codec", "V2", "--quality", "95"}),
      EncodeWave("QualityOfACodecWithoutAny", PcmWave(0.2), Result::kFails,
                 "Windows Media Audio V1 offers no quality-based formats",
                 {"--codec", "v1", "--quality", "90"}),
      EncodeWave("BitRateOfALosslessCodec", PcmWave(0.2), Result::kFails,
                 "Windows Media Audio 9.2 Lossless offers no constant-rate formats",
                 {"--codec", "lossless", "--bitrate", "1411"}),
      EncodeWave("BitRateNotANumber", PcmWave(0.2), Result::kFails, "not a bit rate in kbps: 96k",
                 {"--bitrate", "96k"}),
      EncodeWave("QualityNotANumber", PcmWave(0.2), Result::kFails, "not a quality: high",
                 {"--quality", "high"}),
      EncodeWave("BitRateWithQuality", PcmWave(0.2), Result::kFails,
                 "--bitrate and --quality ask for different modes",
                 {"--bitrate", "128", "--quality", "90"}),
      EncodeWave("OptionsWithCodec", PcmWave(0.2), Result::kFails,
                 "--options with --codec, --bitrate or --quality is ambiguous",
                 {"--options", "7", "--codec", "v2"}),
      EncodeWave("OptionsWithBitRate", PcmWave(0.2), Result::kFails, "is ambiguous",
                 {"--bitrate", "128", "--options", "0"}),
      EncodeWave("OptionsWithQuality", PcmWave(0.2), Result::kFails, "is ambiguous",
                 {"--quality", "90", "--options", "0x80000006"}),
      EncodeWave("CodecByItsNameAlone", PcmWave(0.2), Result::kSucceeds,
                 "with options 0x00010000 (Windows Media Audio V1, constant rate, 320 kbps",
                 {"--codec", "windows media audio v1"}),
      EncodeWave("DefaultCodecAloneTakesTheDefaultRate", PcmWave(0.2), Result::kSucceeds,
                 "with options 0x00000007 (Windows Media Audio V8, constant rate, 128 kbps",
                 {"--codec", "v2"}),
      EncodeWave("LosslessCodecAloneKeepsTheInputsWidth",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 48000, 24)}, {"data", Bytes(28800)}}),
                 Result::kSucceeds, "with options 0x8002001e (", {"--codec", "lossless"}),
      EncodeWave("BitRateNotOfferedForTheInputSaysWhatItChose",
                 RiffWave({{"fmt ", FormatBody(kPcm, 1, 48000, 16)}, {"data", Bytes(19200)}}),
                 Result::kSucceeds, "with options 0x00000006 (", {"--bitrate", "128"},
                 "in.wav: no 128 kbps format of Windows Media Audio V8 for 48 kHz mono; chose 48 "
                 "kHz stereo, the nearest offered"),
      EncodeWave("HostWidth12", PcmWave(0.2), Result::kFails, "12-bit", {"--width", "12"}),
      EncodeWave("HostWidth24", PcmWave(0.2), Result::kFails, "24-bit", {"--width", "24"}),
      EncodeWave("Wave12BitSamples",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 12)}, {"data", Bytes(17640)}}),
                 Result::kFails, "unsupported sample format"),
      EncodeWave("SampleRate0",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 0, 16)}, {"data", Bytes(17640)}}),
                 Result::kFails, "inconsistent format chunk"),
      {"FailedEncodeKeepsTheFileItWouldReplace",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "out.wma", ReadBytes(Testdata(kSampleName)));
         return Encode(WaveInput(d, PcmWave(0.2)), d / "out.wma", {"--options", "0x00FF0000"});
       },
       Result::kFails,
       kRefused,
       {},
       [](const ScratchDirectory& d) {
         EXPECT_EQ(ReadBytes(d / "out.wma"), ReadBytes(Testdata(kSampleName)));
       }},

      // ---- Tags ----
      {"Tag40000Characters",
       [](const ScratchDirectory& d) {
         const Bytes file = PcmWave(0.2, {{"LIST", InfoList("IART", std::string(40000, 'a'))}});
         return Encode(WaveInput(d, file), d / "out.wma");
       },
       Result::kSucceeds,
       "",
       {"out.wma"},
       [](const ScratchDirectory& d) {
         const ProgramRun info = Info(d / "out.wma");
         ASSERT_EQ(info.exitCode, 0) << info.err;
         // Cut to the longest text that the attribute's 16-bit length can carry.
         EXPECT_EQ(TagTextIn(info.out, "IART"), std::string(kLongestTagText, 'a'));
       }},
      {"DisplayChunkOf4Bytes",
       [](const ScratchDirectory& d) {
         const Bytes file = PcmWave(0.2, {{"DISP", {1, 0, 0, 0}}});
         return Encode(WaveInput(d, file), d / "out.wma");
       },
       Result::kSucceeds,
       "",
       {"out.wma"},
       [](const ScratchDirectory& d) {
         const ProgramRun info = Info(d / "out.wma");
         ASSERT_EQ(info.exitCode, 0) << info.err;
         // The format code alone is a title without text.
         EXPECT_EQ(TagTextIn(info.out, "DISP").value_or(""), "");
       }},

      // ---- Outputs that cannot be written ----
      {"EncodeToDevFull",
       [](const ScratchDirectory& d) { return Encode(WaveInput(d, PcmWave(0.2)), "/dev/full"); },
       Result::kFails,
       "/dev/full: is not a regular file",
       {},
       ExpectDevFullUntouched},
      {"DecodeOntoItsInput",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "song.wma", ReadBytes(Testdata(kSampleName)));
         return Decode(d / "song.wma", d / "./song.wma");
       },
       Result::kFails,
       "is the input file",
       {},
       [](const ScratchDirectory& d) {
         EXPECT_EQ(ReadBytes(d / "song.wma"), ReadBytes(Testdata(kSampleName)));
       }},
      {"DecodeToDevFull",
       [](const ScratchDirectory&) { return Decode(Testdata(kSampleName), "/dev/full"); },
       Result::kFails,
       "/dev/full: cannot write: No space left on device",
       {},
       ExpectDevFullUntouched},
      {"EncodeIntoReadOnlyDirectory",
       [](const ScratchDirectory& d) {
         const std::string input = WaveInput(d, PcmWave(0.2));
         mkdir((d / "read-only").c_str(), 0555);
         return Encode(input, d / "read-only/out.wma");
       },
       Result::kFails,
       "Permission denied",
       {},
       nullptr,
       /*unprivileged=*/true},
      {"DecodeIntoReadOnlyDirectory",
       [](const ScratchDirectory& d) {
         mkdir((d / "read-only").c_str(), 0555);
         return Decode(SharedMedia::Get() / "titled.wma", d / "read-only/out.wav");
       },
       Result::kFails,
       "Permission denied",
       {},
       nullptr,
       /*unprivileged=*/true},
      {"OutputPathOf300Characters",
       [](const ScratchDirectory& d) {
         const std::string output = PathOfLength(d, 300, ".wma");
         WriteBytes(d / "output-path", Bytes(output.begin(), output.end()));
         return Encode(WaveInput(d, PcmWave(0.2)), output);
       },
       Result::kSucceeds,
       "",
       {},
       [](const ScratchDirectory& d) {
         const Bytes path = ReadBytes(d / "output-path");
         const std::string output(path.begin(), path.end());
         ASSERT_EQ(output.size(), 300u);
         EXPECT_EQ(Info(output).exitCode, 0);
       }},
      {"OutputPathOf4093CharactersWithAShortName",
       [](const ScratchDirectory& d) {
         const std::string folder = PathOfLength(d, 4087, "");
         mkdir(folder.c_str(), 0755);
         return Decode(Testdata(kSampleName), folder + "/x.wav");
       },
       Result::kFails, "too long for a scratch file beside it"},
      {"OutputNameOf300Characters",
       [](const ScratchDirectory& d) {
         return Encode(WaveInput(d, PcmWave(0.2)), d / (std::string(296, 'n') + ".wma"));
       },
       Result::kFails, "File name too long"},

      // ---- Nothing lost: an earlier file stays as it was, and any name is taken ----
      {"FullDiskEncodeKeepsTheEarlierFile",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "full/out.wma", ReadBytes(Testdata(kSampleName)));
         return Encode(WaveInput(d, PcmWave(30)), d / "full/out.wma");
       },
       Result::kFails,
       "",
       {},
       [](const ScratchDirectory& d) {
         EXPECT_EQ(ReadBytes(d / "full/out.wma"), ReadBytes(Testdata(kSampleName)));
       },
       false,
       /*fullDisk=*/true},
      {"FullDiskDecodeKeepsTheEarlierFile",
       [](const ScratchDirectory& d) {
         WriteBytes(d / "full/out.wav", PcmWave(0.2));
         return Decode(Testdata(kSampleName), d / "full/out.wav");
       },
       Result::kFails,
       "",
       {},
       [](const ScratchDirectory& d) { EXPECT_EQ(ReadBytes(d / "full/out.wav"), PcmWave(0.2)); },
       false,
       /*fullDisk=*/true},
      {"EncodeNeedsTheRoomOfItsOutputOnce",
       [](const ScratchDirectory& d) {
         // About 200 KB of output in the folder's 256 KB: once fits, twice would not.
         return Encode(WaveInput(d, PcmWave(12)), d / "full/out.wma");
       },
       Result::kSucceeds,
       "",
       {"full/out.wma"},
       nullptr,
       false,
       /*fullDisk=*/true},
      {"EncodeOntoItsInputThroughAHardLink",
       [](const ScratchDirectory& d) {
         const std::string input = WaveInput(d, PcmWave(0.2));
         link(input.c_str(), (d / "linked.wma").c_str());
         return Encode(input, d / "linked.wma");
       },
       Result::kFails,
       "is the input file",
       {},
       [](const ScratchDirectory& d) { EXPECT_EQ(ReadBytes(d / "linked.wma"), PcmWave(0.2)); }},
      {"NamesInAnyScript",
       [](const ScratchDirectory& d) {
         mkdir((d / "Ordner \xC3\xBC").c_str(), 0755);
         return Encode(WaveInput(d, PcmWave(0.2), "Se\xC3\xB1or \xC3\xBC \xE2\x82\xAC.wav"),
                       d / "Ordner \xC3\xBC/\xE6\x97\xA5\xE6\x9C\xAC.wma");
       },
       Result::kSucceeds,
       "",
       {"Ordner \xC3\xBC/\xE6\x97\xA5\xE6\x9C\xAC.wma"},
       [](const ScratchDirectory& d) {
         const std::string encoded = d / "Ordner \xC3\xBC/\xE6\x97\xA5\xE6\x9C\xAC.wma";
         EXPECT_EQ(Info(encoded).exitCode, 0);
         EXPECT_EQ(RunProgram({FILTERHOST, "decode", encoded, d / "Se\xC3\xB1or.wav"}).exitCode, 0);
       }},
      {"OutputNameOf254Bytes",
       [](const ScratchDirectory& d) {
         return Encode(WaveInput(d, PcmWave(0.2)), d / (std::string(250, 'n') + ".wma"));
       },
       Result::kSucceeds,
       "",
       {std::string(250, 'n') + ".wma"}},
      {"OutputIsALinkToNowhere",
       [](const ScratchDirectory& d) {
         symlink((d / "nowhere.wma").c_str(), (d / "out.wma").c_str());
         return Encode(WaveInput(d, PcmWave(0.2)), d / "out.wma");
       },
       Result::kSucceeds,
       "",
       {"out.wma"},
       [](const ScratchDirectory& d) {
         EXPECT_TRUE(
             std::filesystem::is_regular_file(std::filesystem::symlink_status(d / "out.wma")));
         EXPECT_FALSE(std::filesystem::exists(d / "nowhere.wma"));
       }},
      {"OutputFolderMissing",
       [](const ScratchDirectory& d) {
         return Encode(WaveInput(d, PcmWave(0.2)), d / "missing/out.wma");
       },
       Result::kFails, "No such file or directory"},
      EncodeWave("SampleRateBeyondTheFilter",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 0xFFFFFFFF, 16)}, {"data", Bytes(17640)}}),
                 Result::kFails, "in.wav: a sample rate of 4294967295 Hz"),
      {"HelpOnStandardOutput",
       [](const ScratchDirectory&) { return std::vector<std::string>{"--help"}; },
       Result::kSucceeds, ""},
      {"DoubleDashEndsTheOptions",
       [](const ScratchDirectory& d) {
         return std::vector<std::string>{"decode", "--", Testdata(kSampleName), d / "out.wav"};
       },
       Result::kSucceeds,
       "",
       {"out.wav"}},

      // ---- WAVE files whose chunk sizes lie ----
      EncodeWave(
          "WaveDataLongerThanTheFile",
          RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)}, {"data", Bytes(17640), 0x7FFFFFF0}}),
          Result::kFails,
          "in.wav: cut short: its data chunk promises 2147483632 bytes of audio, "
          "the file holds 17640"),
      EncodeWave(
          "WaveOfUnknownLengthFromSoxRunsToItsEnd",
          RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)}, {"data", Bytes(17640), 0x7FFFF000}}),
          Result::kSucceeds),
      EncodeWave("WaveRiffSizeTooSmall",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)}, {"data", Bytes(17640)}}, 4),
                 Result::kSucceeds),
      EncodeWave(
          "WaveFormatChunkSwallowsTheFile",
          RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16), 0xFFFFFFF0}, {"data", Bytes(17640)}}),
          Result::kFails, "no sample data"),
      EncodeWave("WaveFormatChunkTooShort",
                 RiffWave({{"fmt ", {1, 0, 2, 0}}, {"data", Bytes(17640)}}), Result::kFails,
                 "malformed format chunk"),
      EncodeWave("WaveTagListSwallowsTheData",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)},
                           {"LIST", InfoList("IART", "Someone"), 0xFFFFFF00},
                           {"data", Bytes(17640)}}),
                 Result::kFails, "no sample data"),
      EncodeWave("WaveTagLongerThanItsList", PcmWave(0.2, {{"LIST", ItemLongerThanItsList()}}),
                 Result::kSucceeds),
      EncodeWave("WaveWithoutData",
                 RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)}, {"data", {}}}), Result::kFails,
                 "no audio to encode"),
  };

  // ---- Nothing lost, where no file is cut short ----
  Row failingDisk{
      "ReadFailureMidDecodeKeepsTheEarlierFile",
      [](const ScratchDirectory& d) {
        WriteBytes(d / "failing.wma", ReadBytes(Testdata(kSampleName)));
        WriteBytes(d / "out.wav", PcmWave(0.2));
        return Decode(d / "failing.wma", d / "out.wav");
      },
      Result::kFails,
      "failing.wma: cannot read: Input/output error",
      {},
      [](const ScratchDirectory& d) { EXPECT_EQ(ReadBytes(d / "out.wav"), PcmWave(0.2)); }};
  failingDisk.readFault = "failing.wma@32768";  // the second of FFmpeg's 32 KiB reads
  rows.push_back(failingDisk);
  // A coding worker that runs out of memory fails the run for that reason, never as the
  // codec's failure, nor with audio left out.
  // (Eight seconds: more than the segments in flight, so that a write meets the failure. In
  // Windows Media Audio V1, whose coding is FFmpeg's: our own V8 encoder asks FFmpeg for its
  // memory when its coders are made, on the caller's thread, never on a worker.)
  Row encodeWithoutMemory =
      EncodeWave("WorkerOutOfMemoryWhileEncodingSaysSo", PcmWave(8.0), Result::kFails,
                 "out.wma: the filter could not write the audio: Cannot allocate memory",
                 {"--options", "0x0001000c"});
  encodeWithoutMemory.workerMemoryFault = true;
  rows.push_back(encodeWithoutMemory);
  Row decodeWithoutMemory{"WorkerOutOfMemoryWhileDecodingSaysSo",
                          [](const ScratchDirectory& d) {
                            return Decode(SharedMedia::Get() / "titled.wma", d / "out.wav");
                          },
                          Result::kFails, "titled.wma: cannot read: Cannot allocate memory"};
  decodeWithoutMemory.workerMemoryFault = true;
  rows.push_back(decodeWithoutMemory);
  rows.push_back(
      {"DecodeToDevStdoutWritesThroughTheLink",
       [](const ScratchDirectory&) { return Decode(Testdata(kSampleName), "/dev/stdout"); },
       Result::kSucceeds,
       "WAVEfmt ",
       {},
       [](const ScratchDirectory&) {
         struct stat status;
         ASSERT_EQ(lstat("/dev/stdout", &status), 0);
         EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the system's link is left as it was";
       }});
  rows.push_back({"ReplacedOutputKeepsItsMode",
                  [](const ScratchDirectory& d) {
                    WriteBytes(d / "out.wma", {});
                    chmod((d / "out.wma").c_str(), 0600);
                    return Encode(WaveInput(d, PcmWave(0.2)), d / "out.wma");
                  },
                  Result::kSucceeds,
                  "",
                  {},
                  [](const ScratchDirectory& d) {
                    struct stat status;
                    ASSERT_EQ(stat((d / "out.wma").c_str(), &status), 0);
                    EXPECT_EQ(status.st_mode & 07777, 0600u);
                    EXPECT_GT(status.st_size, 0);
                  }});
  rows.push_back(KeepsAclAndAttribute("EncodeKeepsTheAclAndAttributesOfTheFileItReplaces", true));
  rows.push_back(KeepsAclAndAttribute("DecodeKeepsTheAclAndAttributesOfTheFileItReplaces", false));
  Row aclNotKept{"AclThatCannotBeKeptLeavesTheEarlierFile",
                 [](const ScratchDirectory& d) {
                   // The output names, through a link, a file whose ACL the folder cannot take.
                   WriteBytes(d / "earlier.wav", PcmWave(0.2));
                   GiveAclAndAttribute(d / "earlier.wav");
                   symlink("../earlier.wav", (d / "plain/out.wav").c_str());
                   return Decode(Testdata(kSampleName), d / "plain/out.wav");
                 },
                 Result::kFails,
                 "plain/out.wav: cannot keep its access control list "
                 "(system.posix_acl_access): Operation not supported",
                 {},
                 [](const ScratchDirectory& d) {
                   EXPECT_EQ(ReadBytes(d / "earlier.wav"), PcmWave(0.2));
                   EXPECT_TRUE(std::filesystem::is_symlink(d / "plain/out.wav"));
                 }};
  aclNotKept.plainFolder = true;
  rows.push_back(aclNotKept);
  rows.push_back({"ReplacingAnotherUsersFileGrantsTheWriterNoMoreThanItHad",
                  [](const ScratchDirectory& d) {
                    // Set-user-ID, executable by its owner, written by others: the writer may
                    // not give the new file to the earlier owner or group, so it keeps it with
                    // the rights it had (others' read and write) and nothing else.
                    mkdir((d / "shared").c_str(), 0777);
                    chmod((d / "shared").c_str(), 0777);
                    WriteBytes(d / "shared/out.wav", PcmWave(0.2));
                    chmod((d / "shared/out.wav").c_str(), 04746);
                    return Decode(SharedMedia::Get() / "titled.wma", d / "shared/out.wav");
                  },
                  Result::kSucceeds,
                  "",
                  {},
                  [](const ScratchDirectory& d) {
                    struct stat status;
                    ASSERT_EQ(stat((d / "shared/out.wav").c_str(), &status), 0);
                    EXPECT_EQ(status.st_mode & 07777, 0606u);
                  },
                  /*unprivileged=*/true});
  Row fullOutput{"InfoIntoAFullStandardOutput",
                 [](const ScratchDirectory&) {
                   return std::vector<std::string>{"info", Testdata(kSampleName), "--json"};
                 },
                 Result::kFails, "standard output: No space left on device"};
  fullOutput.standardOutput = StandardOutput::kFullDevice;
  rows.push_back(fullOutput);
  Row closedPipe{
      "StatusLineIntoAClosedPipeLeavesADoneDecode",
      [](const ScratchDirectory& d) { return Decode(Testdata(kSampleName), d / "out.wav"); },
      Result::kSucceeds,
      "",
      {"out.wav"}};
  closedPipe.standardOutput = StandardOutput::kClosedPipe;
  rows.push_back(closedPipe);
  // A named socket is no file to write, nor a stream to write through: opening it fails.
  rows.push_back({"NamedSocketAsDecodeOutput",
                  [](const ScratchDirectory& d) {
                    const std::string path = d / "out.sock";
                    sockaddr_un address{};
                    address.sun_family = AF_UNIX;
                    EXPECT_LT(path.size(), sizeof(address.sun_path));
                    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
                    const int bound = socket(AF_UNIX, SOCK_STREAM, 0);
                    EXPECT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof(address)),
                              0);
                    close(bound);
                    return Decode(Testdata(kSampleName), path);
                  },
                  Result::kFails, "out.sock: is not a regular file"});
  rows.push_back({"PipeAsEncodeInput",
                  [](const ScratchDirectory& d) {
                    mkfifo((d / "in.wav").c_str(), 0600);
                    return Encode(d / "in.wav", d / "out.wma");
                  },
                  Result::kFails, "in.wav: is not a regular file"});
  rows.push_back({"UnreadableInputGivesTheSystemsReason",
                  [](const ScratchDirectory& d) {
                    WriteBytes(d / "private.wma", ReadBytes(Testdata(kSampleName)));
                    chmod((d / "private.wma").c_str(), 0600);
                    return Decode(d / "private.wma", "-");
                  },
                  Result::kFails,
                  "private.wma: Permission denied",
                  {},
                  nullptr,
                  /*unprivileged=*/true});
  rows.push_back({"FilterLibraryThatDoesNotLoadGivesTheLoadersReason",
                  [](const ScratchDirectory& d) {
                    return std::vector<std::string>{"--filter", d / "missing.so", "registration"};
                  },
                  Result::kFails, "missing.so: cannot open shared object file"});
  rows.push_back({"NameWithANewlineStaysOneLine",
                  [](const ScratchDirectory& d) { return Decode(d / "two\nlines.wma", "-"); },
                  Result::kFails, "two\\nlines.wma: No such file or directory"});
  Bytes unpadded = RiffWave({{"fmt ", FormatBody(kPcm, 2, 44100, 16)},
                             {"DISP", {1, 0, 0, 0, 'A'}},
                             {"data", Bytes(17640)}});
  unpadded.erase(unpadded.begin() + 12 + 24 + 8 + 5);  // the pad byte after the odd chunk
  rows.push_back(EncodeWave("WaveOddChunkWithoutItsPadByte", unpadded, Result::kSucceeds));

  // ---- A WMA file cut at ten points: within its header it is refused; within its data what
  // was decoded stands ----
  using Sizes = std::size_t;
  rows.push_back(CutWma(
      "AfterOneByte", [](Sizes, Sizes) { return 1; }, Result::kFails));
  rows.push_back(CutWma(
      "InHeaderIdentifier", [](Sizes, Sizes) { return 12; }, Result::kFails));
  rows.push_back(CutWma(
      "InHeaderSize", [](Sizes, Sizes) { return 20; }, Result::kFails));
  rows.push_back(CutWma(
      "AfterHeaderFields", [](Sizes, Sizes) { return 30; }, Result::kFails));
  rows.push_back(CutWma(
      "InFileProperties", [](Sizes, Sizes) { return 100; }, Result::kFails));
  rows.push_back(CutWma(
      "HalfwayThroughHeader", [](Sizes h, Sizes) { return h / 2; }, Result::kFails));
  rows.push_back(CutWma(
      "OneShortOfHeader", [](Sizes h, Sizes) { return h - 1; }, Result::kFails));
  rows.push_back(CutWma(
      "HeaderOnly", [](Sizes h, Sizes) { return h; }, Result::kFails));
  rows.push_back(CutWma(
      "InFirstPacket", [](Sizes h, Sizes) { return h + 50; }, Result::kSucceeds));
  rows.push_back(CutWma(
      "HalfwayThroughData", [](Sizes h, Sizes n) { return h + (n - h) / 2; }, Result::kSucceeds,
      /*someAudio=*/true));
  rows.push_back(CutWma(
      "OneShortOfTheEnd", [](Sizes, Sizes n) { return n - 1; }, Result::kSucceeds,
      /*someAudio=*/true));

  // ---- Standard output is checked by what it is, and encode never writes to it ----
  for (const auto& [name, kind] :
       {std::pair{"DecodeToStandardOutputOpenOnItsInput", StandardOutput::kSongInPlace},
        std::pair{"DecodeToStandardOutputAppendingToItsInput", StandardOutput::kSongAppending}}) {
    Row onInput{name,
                [](const ScratchDirectory& d) {
                  WriteBytes(d / "song.wma", ReadBytes(Testdata(kSampleName)));
                  return Decode(d / "song.wma", "-");
                },
                Result::kFails,
                "standard output: is the input file",
                {},
                [](const ScratchDirectory& d) {
                  EXPECT_EQ(ReadBytes(d / "song.wma"), ReadBytes(Testdata(kSampleName)));
                }};
    onInput.standardOutput = kind;
    rows.push_back(onInput);
  }
  rows.push_back({"EncodeToStandardOutputIsRefused",
                  [](const ScratchDirectory& d) { return Encode(WaveInput(d, PcmWave(0.2)), "-"); },
                  Result::kFails,
                  "-: is standard output, which encode cannot write",
                  {},
                  [](const ScratchDirectory&) {
                    // Run from this process's folder, where a file named "-" would land.
                    EXPECT_FALSE(std::filesystem::exists("-"));
                    std::filesystem::remove("-");
                  }});
  rows.push_back(EncodeWave("EncodeToDevStdoutIsRefused", PcmWave(0.2), Result::kFails,
                            "/dev/stdout: is standard output, which encode cannot write"));
  rows.back().prepare = [](const ScratchDirectory& d) {
    return Encode(WaveInput(d, PcmWave(0.2)), "/dev/stdout");
  };
  rows.back().outputs = {};
  rows.push_back({"OutputLeafOf256BytesIsRefusedBeforeAnyWork",
                  [](const ScratchDirectory& d) {
                    // Options the filter refuses: the name is judged before the filter is asked.
                    return Encode(WaveInput(d, PcmWave(0.2)), d / (std::string(252, 'n') + ".wma"),
                                  {"--options", "0x00FF0000"});
                  },
                  Result::kFails, "File name too long"});

  // ---- Every channel is heard: a downmix of every speaker, said on stderr, or a refusal ----
  rows.push_back(ToneHeard("CentreOfAnExtensibleFileIsMixedIn",
                           ExtensibleFormatBody(3, 44100, 16, 0x7), 3, 2,
                           "in.wav: mixed its 3 channels (front left, front right, front centre) "
                           "down to 2 (front left, front right)"));
  rows.push_back(ToneHeard("ThirdChannelOfAPlainFileIsTheCentre", FormatBody(kPcm, 3, 44100, 16), 3,
                           2, "(front left, front right, front centre) down to 2"));
  rows.push_back(ToneHeard("LowFrequencyChannelIsMixedIn", ExtensibleFormatBody(3, 44100, 16, 0xB),
                           3, 2, "(front left, front right, low frequency) down to 2"));
  rows.push_back(ToneHeard("BackCentreOfFourChannelsIsMixedIn",
                           ExtensibleFormatBody(4, 44100, 16, 0x107), 4, 3,
                           "(front left, front right, front centre, back centre) down to 2"));
  rows.push_back(EncodeWave("ChannelWithoutASpeakerIsRefused",
                            RiffWave({{"fmt ", ExtensibleFormatBody(3, 44100, 16, 0x3)},
                                      {"data", ToneSamples(0.2, 3, 2)}}),
                            Result::kFails, "in.wav: channel 3 has no speaker position"));
  rows.push_back(EncodeWave(
      "SpeakerThatNoMixTakesIsRefused",
      RiffWave(
          {{"fmt ", ExtensibleFormatBody(3, 44100, 16, 0x803)}, {"data", ToneSamples(0.2, 3, 2)}}),
      Result::kFails, "(front left, front right, top centre) fit no layout the save can mix"));
  rows.push_back(EncodeWave(
      "NineChannelsWithoutPositionsAreRefused",
      RiffWave({{"fmt ", FormatBody(kPcm, 9, 44100, 16)}, {"data", ToneSamples(0.2, 9, 2)}}),
      Result::kFails, "in.wav: 9 channels without speaker positions"));

  // ---- WAVE files beyond 4 GiB, and WAVE files cut short ----
  rows.push_back(EncodeWave("Rf64Input",
                            Rf64Wave("RF64", FormatBody(kPcm, 2, 44100, 16), Bytes(17640), 17640,
                                     {{"LIST", InfoList("IART", "Someone")}}),
                            Result::kSucceeds));
  rows.back().verify = [](const ScratchDirectory& d) {
    // The tag after the data is found where the ds64 chunk's size of the data puts it.
    EXPECT_EQ(TagTextIn(Info(d / "out.wma").out, "IART"), "Someone");
  };
  rows.push_back(EncodeWave("Bw64Input",
                            Rf64Wave("BW64", FormatBody(kPcm, 2, 44100, 16), Bytes(17640), 17640),
                            Result::kSucceeds));
  rows.push_back(EncodeWave(
      "Rf64CutShort", Rf64Wave("RF64", FormatBody(kPcm, 2, 44100, 16), Bytes(17640), 1ull << 33),
      Result::kFails, "cut short: its data chunk promises 8589934592 bytes of audio"));
  Row shrinking{"WaveShrinksWhileReadKeepsTheEarlierFile",
                [](const ScratchDirectory& d) {
                  WriteBytes(d / "out.wma", ReadBytes(Testdata(kSampleName)));
                  return Encode(WaveInput(d, PcmWave(2)), d / "out.wma");
                },
                Result::kFails,
                "in.wav: cut short while being read: it ended after 99956 of its 352800 bytes",
                {},
                [](const ScratchDirectory& d) {
                  EXPECT_EQ(ReadBytes(d / "out.wma"), ReadBytes(Testdata(kSampleName)));
                }};
  shrinking.shrinkAt = "in.wav@100000";
  rows.push_back(shrinking);
  return rows;
}

// ---- The check of every row ---------------------------------------------------------------

// A fault library preloaded into the programs run while one lives, armed by its variable; the
// sanitizers are told that their run-time library does not come first.
class Fault {
 public:
  using Variables = std::vector<std::pair<std::string, std::string>>;
  Fault(const char* library, Variables variables) : variables_(std::move(variables)) {
    const char* options = std::getenv("ASAN_OPTIONS");
    savedAsanOptions_ = options != nullptr ? options : "";
    setenv("LD_PRELOAD", library, 1);
    for (const auto& [name, value] : variables_) setenv(name.c_str(), value.c_str(), 1);
    setenv("ASAN_OPTIONS", (savedAsanOptions_ + ":verify_asan_link_order=0").c_str(), 1);
  }
  ~Fault() {
    unsetenv("LD_PRELOAD");
    for (const auto& variable : variables_) unsetenv(variable.first.c_str());
    setenv("ASAN_OPTIONS", savedAsanOptions_.c_str(), 1);
  }

 private:
  Variables variables_;
  std::string savedAsanOptions_;
};

// Two coding threads while it lives, so that there are workers to fail.
class TwoWorkers {
 public:
  TwoWorkers() { setenv("WMAFILTER_THREADS", "2", 1); }
  ~TwoWorkers() { unsetenv("WMAFILTER_THREADS"); }
};

// A descriptor for the program's standard output, or -1 to capture it.
int OpenStandardOutput(StandardOutput kind, const ScratchDirectory& directory) {
  if (kind == StandardOutput::kFullDevice) return open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (kind == StandardOutput::kCaptured) return -1;
  if (kind == StandardOutput::kSongInPlace)
    return open((directory / "song.wma").c_str(), O_RDWR | O_CLOEXEC);
  if (kind == StandardOutput::kSongAppending)
    return open((directory / "song.wma").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  close(ends[0]);  // no one reads
  return ends[1];
}

class BadInputTable : public testing::TestWithParam<Row> {
 protected:
  static void SetUpTestSuite() {
    // filterhost reports, and fails, when a run leaves COM or memory behind.
    setenv("WMAFILTER_CHECK_BALANCE", "1", 1);
    SharedMedia::Get();
  }
};

TEST_P(BadInputTable, GivesItsResultAndLeavesNothingBehind) {
  const Row& row = GetParam();
  if (row.unprivileged && !test_support::UnprivilegedUserCanRun(FILTERHOST)) {
    GTEST_SKIP() << "the unprivileged user cannot reach " << FILTERHOST
                 << ": the build lies under a folder that only its owner may enter";
  }
  ScratchDirectory directory;
  std::optional<FullFolder> full;
  if (row.fullDisk) full.emplace(directory / "full");
  std::optional<PlainFolder> plain;
  if (row.plainFolder) plain.emplace(directory / "plain");
  if (plain && !plain->mounted()) GTEST_SKIP() << "no ramfs can be mounted";
  std::vector<std::string> arguments = row.prepare(directory);
  arguments.insert(arguments.begin(), FILTERHOST);
  const std::set<std::string> before = directory.Contents();

  if (full && !full->Fill()) GTEST_SKIP() << "neither a tmpfs nor a file size limit can be set";
  std::optional<Fault> fault;
  if (!row.readFault.empty() || !row.shrinkAt.empty()) {
    fault.emplace(READ_FAULT_LIBRARY, Fault::Variables{{"WMAFILTER_READ_FAULT", row.readFault},
                                                       {"WMAFILTER_SHRINK_AT", row.shrinkAt}});
  }
  std::optional<TwoWorkers> workers;
  if (row.workerMemoryFault) {
    workers.emplace();
    fault.emplace(MEMORY_FAULT_LIBRARY, Fault::Variables{{"WMAFILTER_WORKER_MEMORY_FAULT", "1"}});
  }
  const int output = OpenStandardOutput(row.standardOutput, directory);
  const ProgramRun run = RunProgram(arguments, row.unprivileged, output);
  if (output >= 0) close(output);
  if (full) full->Unfill();
  const std::string message = full && row.result == Result::kFails ? full->reason() : row.message;

  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("left behind at exit"), std::string::npos) << run.err;
  std::set<std::string> expected = before;
  if (row.result == Result::kFails) {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err.rfind("filterhost: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  } else {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    if (row.notice.empty()) {
      EXPECT_EQ(run.err, "");
    } else {
      EXPECT_EQ(run.err.rfind("filterhost: ", 0), 0u) << run.err;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
      EXPECT_NE(run.err.find(row.notice), std::string::npos) << run.err;
    }
    EXPECT_NE(run.out.find(row.message), std::string::npos) << run.out;
    expected.insert(row.outputs.begin(), row.outputs.end());
  }
  // No scratch file of the writer's, and after a failure nothing that could pass for output.
  // A success in a directory of its own adds that directory's contents.
  if (row.outputs.empty() && row.result == Result::kSucceeds) {
    for (const std::string& added : directory.Contents())
      if (!before.count(added)) {
        EXPECT_EQ(added.find("/."), std::string::npos) << added;
      }
  } else {
    EXPECT_EQ(directory.Contents(), expected);
  }
  if (row.verify) row.verify(directory);
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTable, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace hardening
