// filterhost formats over the stand-in runtime: it lists exactly what the options dialog offers
// for each codec and mode, with the word the dialog gives, and every listed word saves a file
// that ffprobe describes as listed. Nothing here assumes how many codecs or formats there are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include <dialog_testing.h>

#include "codec_short_name.h"
#include "filter_files.h"
#include "filter_library.h"
#include "option_values.h"
#include "options/options_resource.h"
#include "support/program_run.h"
#include "support/sanitizers.h"

namespace {

using platform_testing::DialogUser;
using test_support::ProgramRun;
using test_support::RunProgram;
using test_support::ScratchDirectory;
using Fields = std::map<std::string, std::string>;

const std::string kHost = FILTERHOST_PATH;

// The objects of `formats --json`, one a line, as their members' texts (strings unquoted; the
// runtime's texts hold no quotes).
std::vector<Fields> ListedFormats() {
  const ProgramRun run = RunProgram({kHost, "formats", "--json"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  static const std::regex kMember("\"(\\w+)\": (\"([^\"]*)\"|[^,}]*)");
  std::vector<Fields> formats;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  {", 0) != 0) continue;
    Fields& format = formats.emplace_back();
    for (std::sregex_iterator m(line.begin(), line.end(), kMember), end; m != end; ++m)
      format[(*m)[1]] = (*m)[3].matched ? (*m)[3].str() : (*m)[2].str();
  }
  return formats;
}

unsigned long Number(const Fields& format, const char* key) {
  return std::stoul(format.at(key), nullptr, 0);
}

// What ffprobe says of a file's first stream, and what the listing says it should say.
Fields ProbedStream(const std::string& path) {
  const ProgramRun probe = RunProgram({"ffprobe", "-v", "error", "-select_streams", "0",
                                       "-show_entries", "stream=codec_tag,sample_rate,channels",
                                       "-of", "default=noprint_wrappers=1", path});
  EXPECT_EQ(probe.exitCode, 0) << path << ": " << probe.err;
  Fields stream;
  std::istringstream lines(probe.out);
  for (std::string line; std::getline(lines, line);)
    stream[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return stream;
}
Fields ListedStream(const Fields& format) {
  char tag[16];
  std::snprintf(tag, sizeof(tag), "0x%04lx", Number(format, "formatTag"));
  return {{"codec_tag", tag},
          {"sample_rate", format.at("sampleRate")},
          {"channels", format.at("channels")}};
}

LRESULT PositionOf(const std::vector<platform_testing::ListEntry>& list, unsigned long datum) {
  const auto found = std::find_if(list.begin(), list.end(), [&](const auto& entry) {
    return static_cast<unsigned long>(entry.data) == datum;
  });
  return found == list.end() ? CB_ERR : found - list.begin();
}

class HostFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(library_.Load(FILTER_LIBRARY_PATH, error)) << error;
    listed_ = ListedFormats();
    ASSERT_FALSE(listed_.empty());
  }

  // The word that the native headless dialog, opened on 0 and played by `user`, gives.
  DWORD Choose(const platform_testing::DialogScript& user) {
    const platform_testing::ScopedDialogScript script(user);
    return library_.exports().filterGetOptions(nullptr, library_.module(), 0, 0, 0, 0);
  }

  FilterLibrary library_;
  std::vector<Fields> listed_;
};

TEST_F(HostFormats, ListsWhatTheDialogOffersWithTheWordItsOkGives) {
  // mode, codec index and name, format index and description: in enumeration order as listed.
  using Offer = std::tuple<unsigned long, int, std::string, unsigned long, std::string>;
  std::vector<Offer> listed, offered;
  for (const Fields& f : listed_) {
    listed.emplace_back(Number(f, "codecIndex"), f.at("mode") == "variable", f.at("codecName"),
                        Number(f, "formatIndex"), f.at("description"));
  }
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
  // Every entry of the dialog's lists under each mode, walked through its controls.
  for (const int mode : {0, 1}) {
    Choose([&](DialogUser& user) {
      ASSERT_TRUE(user.Select(IDC_MODE, mode));
      const auto codecs = user.List(IDC_CODEC);
      for (std::size_t position = 0; position < codecs.size(); ++position) {
        ASSERT_TRUE(user.Select(IDC_CODEC, static_cast<LRESULT>(position)));
        for (const auto& format : user.List(IDC_FORMAT)) {
          offered.emplace_back(codecs[position].data, mode, codecs[position].text, format.data,
                               format.text);
        }
      }
    });
  }
  std::sort(offered.begin(), offered.end());
  EXPECT_EQ(listed, offered);

  for (const Fields& f : listed_) {
    const DWORD word = Choose([&](DialogUser& user) {
      ASSERT_TRUE(user.Select(IDC_MODE, f.at("mode") == "variable"));
      ASSERT_TRUE(
          user.Select(IDC_CODEC, PositionOf(user.List(IDC_CODEC), Number(f, "codecIndex"))));
      ASSERT_TRUE(
          user.Select(IDC_FORMAT, PositionOf(user.List(IDC_FORMAT), Number(f, "formatIndex"))));
      user.Click(IDOK);
    });
    EXPECT_EQ(word, Number(f, "word")) << f.at("wordHex");
    EXPECT_EQ(word, Number(f, "wordHex"));
  }

  // The one marked the default is the one the dialog opens on for the word 0; and the text form
  // lists the same formats, a line each.
  const DWORD opened = Choose([](DialogUser& user) { user.Click(IDOK); });
  const ProgramRun text = RunProgram({kHost, "formats"});
  const auto shortName = [](const Fields& f) {
    return f.at("codecShortName") == "null" ? std::string("-") : f.at("codecShortName");
  };
  std::size_t shortWidth = 0, nameWidth = 0;
  for (const Fields& f : listed_) {
    shortWidth = std::max(shortWidth, shortName(f).size());
    nameWidth = std::max(nameWidth, f.at("codecName").size());
  }
  std::string expected;
  for (const Fields& f : listed_) {
    const bool marked = f.at("default") == "true";
    expected += f.at("wordHex") + "  " + f.at("mode") + "  " + shortName(f) +
                std::string(shortWidth - shortName(f).size() + 2, ' ') + f.at("codecName") +
                std::string(nameWidth - f.at("codecName").size() + 2, ' ') + f.at("description") +
                (marked ? "  (default)\n" : "\n");
    if (marked) {
      EXPECT_EQ(Number(f, "word"), opened);
    }
  }
  EXPECT_EQ(text.out, expected);
}

// Every listed word saves, through the filter's exports as the editor saves, a short file whose
// stream ffprobe finds as listed (in one process: the table grows with the runtime's lists).
// Under ASan one constant-rate word of each codec: the filter's road is the same for every word,
// and the runtime's tests save each constant-rate format of the catalogue under ASan themselves.
TEST_F(HostFormats, EveryListedWordSavesAStreamAsListed) {
  const ScratchDirectory directory;
  // 50 ms of a stereo 16-bit ramp at 44.1 kHz, which every format takes (the runtime converts).
  std::vector<std::int16_t> audio(2 * 2205);
  for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<std::int16_t>(i * 7);
  const auto bytes = static_cast<LONG>(audio.size() * sizeof(std::int16_t));
  std::set<std::string> constantRateCodecs;
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    if (test_support::kAddressSanitizer && listed_[i].at("mode") == "constant" &&
        !constantRateCodecs.insert(listed_[i].at("codecIndex")).second)
      continue;
    const std::string saved = directory / ("out" + std::to_string(i) + ".wma");
    {
      FilterOutput output(library_.exports());
      ASSERT_TRUE(output.Open(saved, 44100, 16, 2, Number(listed_[i], "word")));
      EXPECT_EQ(library_.exports().writeFilterOutput(output.handle(),
                                                     reinterpret_cast<BYTE*>(audio.data()), bytes),
                bytes);
    }
    EXPECT_EQ(ProbedStream(saved), ListedStream(listed_[i])) << listed_[i].at("wordHex");
  }
}

// filterhost encode takes a word as formats prints it, in hex or decimal, with blanks around or
// without, and names what it chose; the word 0 chooses the format marked as the default.
TEST_F(HostFormats, EncodeTakesEachFormOfAWordAndNamesItsChoice) {
  const ScratchDirectory directory;
  const std::string wave = directory / "in.wav";
  const std::string saved = directory / "out.wma";
  ASSERT_EQ(RunProgram({WAVETOOL_PATH, wave, "--seconds", "0.05"}).exitCode, 0);
  const auto marked = std::find_if(listed_.begin(), listed_.end(),
                                   [](const Fields& f) { return f.at("default") == "true"; });
  const std::pair<const Fields*, std::string> runs[] = {
      {&listed_.front(), listed_.front().at("wordHex")},
      {&listed_.back(), listed_.back().at("word")},
      {&listed_.back(), " " + listed_.back().at("wordHex") + "\t"},
      {marked != listed_.end() ? &*marked : nullptr, "0"}};
  for (const auto& [format, word] : runs) {
    if (format == nullptr) continue;
    const ProgramRun encode = RunProgram({kHost, "encode", wave, saved, "--options", word});
    ASSERT_EQ(encode.exitCode, 0) << word << ": " << encode.err;
    std::string description = format->at("description");
    description.erase(0, description.find_first_not_of(' '));
    EXPECT_EQ(encode.out, "encoded " + wave + " into " + saved + " with options " +
                              format->at("wordHex") + " (" + format->at("codecName") + ", " +
                              format->at("mode") + " rate, " + description + ")\n");
    EXPECT_EQ(ProbedStream(saved), ListedStream(*format)) << word;
  }
}

// Each listed format is the one that encode's --codec (its short name, or its name where it has
// none), with --bitrate for a constant-rate format or --quality for a quality-based one, chooses
// for an input of its sample rate, channels and width: exactly, saying nothing on stderr. Under
// ASan one format of each codec and mode: the choice is the same code for every row.
TEST_F(HostFormats, EncodeChoosesEachListedFormatByCodecAndRate) {
  const ScratchDirectory directory;
  const std::string saved = directory / "out.wma";
  std::set<std::string> inputs, sanitized;
  for (const Fields& f : listed_) {
    if (test_support::kAddressSanitizer &&
        !sanitized.insert(f.at("codecIndex") + f.at("mode")).second)
      continue;
    const std::string layout =
        f.at("sampleRate") + "-" + f.at("channels") + "-" + f.at("bitsPerSample");
    const std::string wave = directory / (layout + ".wav");
    if (inputs.insert(layout).second) {
      ASSERT_EQ(RunProgram({WAVETOOL_PATH, wave, "--seconds", "0.05", "--rate", f.at("sampleRate"),
                            "--channels", f.at("channels"), "--format",
                            f.at("bitsPerSample") == "24" ? "s24" : "s16"})
                    .exitCode,
                0)
          << layout;
    }
    const bool variable = f.at("mode") == "variable";
    std::smatch quality;
    if (variable) {
      ASSERT_TRUE(std::regex_search(f.at("description"), quality, std::regex("Quality (\\d+)")))
          << f.at("description");
    }
    const std::string rate =
        variable ? quality[1].str() : std::to_string((Number(f, "averageBitRate") + 500) / 1000);
    const std::string codec =
        f.at("codecShortName") != "null" ? f.at("codecShortName") : f.at("codecName");
    const ProgramRun encode = RunProgram({kHost, "encode", wave, saved, "--codec", codec,
                                          variable ? "--quality" : "--bitrate", rate});
    ASSERT_EQ(encode.exitCode, 0) << f.at("wordHex") << ": " << encode.err;
    EXPECT_EQ(encode.err, "") << f.at("wordHex");
    EXPECT_THAT(encode.out, ::testing::HasSubstr(" with options " + f.at("wordHex") + " ("))
        << codec << " " << rate << " on " << layout;
  }
}

// The short names name each kind of codec under the names of its versions, and the first codec
// listed of each has it.
TEST(CodecShortNames, NameEachKindWhateverItsVersion) {
  const std::pair<const char*, const char*> rows[] = {
      {"Windows Media Audio V8", "v2"},
      {"Windows Media Audio 9.2", "v2"},
      {"Windows Media Audio V2", "v2"},
      {"Windows Media Audio V1", "v1"},
      {"Windows Media Audio 9.2 Lossless", "lossless"},
      {"Windows Media Audio 10 Professional", "pro"},
      {"Windows Media Audio 9 Pro", "pro"},
      {"Windows Media Audio Voice 9", "voice"},
      {"windows media audio v10", "v2"},
      {"Some Other Codec", ""},
      {"", ""}};
  for (const auto& [name, expected] : rows) EXPECT_EQ(CodecShortName(name), expected) << name;

  // One codec a short name, the one that the rule names.
  std::map<std::string, std::string> codecOf;
  for (const Fields& f : ListedFormats()) {
    const std::string& shortName = f.at("codecShortName");
    if (shortName == "null") continue;
    EXPECT_EQ(shortName, CodecShortName(f.at("codecName")));
    EXPECT_EQ(codecOf.emplace(shortName, f.at("codecIndex")).first->second, f.at("codecIndex"))
        << shortName;
  }
}

// One rule for option values: decimal or 0x hex, blanks around passed over, none inside.
TEST(OptionNumbers, AreDecimalOrHexWithBlanksAroundOnly) {
  const std::pair<const char*, long long> rows[] = {{"7", 7},
                                                    {" 7", 7},
                                                    {"7 ", 7},
                                                    {"\t0x7\r\n", 7},
                                                    {"0x0000000c", 12},
                                                    {"0X00010015", 0x10015},
                                                    {"0", 0},
                                                    {"4294967295", 0xFFFFFFFF},
                                                    {"0xFFFFFFFF", 0xFFFFFFFF},
                                                    {"0x000000001", 1},
                                                    // refused: -1
                                                    {"", -1},
                                                    {"  ", -1},
                                                    {"0x", -1},
                                                    {"0x 7", -1},
                                                    {"7 7", -1},
                                                    {"+7", -1},
                                                    {"-1", -1},
                                                    {"010", -1},
                                                    {"4294967296", -1},
                                                    {"0x100000000", -1},
                                                    {"7h", -1},
                                                    {"0x7g", -1}};
  for (const auto& [text, expected] : rows) {
    DWORD value = 12345;
    EXPECT_EQ(ParseOptionNumber(text, value), expected >= 0) << '"' << text << '"';
    EXPECT_EQ(value, expected >= 0 ? static_cast<DWORD>(expected) : 12345u) << '"' << text << '"';
  }
}

}  // namespace
