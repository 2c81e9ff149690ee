// filterhost formats over the stand-in runtime: it lists exactly what the options dialog offers
// for each codec and mode, with the word the dialog gives, and every listed word saves a file
// that ffprobe describes as listed. Nothing here assumes how many codecs or formats there are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <tuple>

#include <dialog_testing.h>

#include "filter_files.h"
#include "filter_library.h"
#include "option_values.h"
#include "options/options_resource.h"
#include "support/program_run.h"

namespace {

using test_support::ProgramRun;
using test_support::RunProgram;
using test_support::ScratchDirectory;
using ::testing::HasSubstr;

const std::string kHost = FILTERHOST_PATH;

// One object of `formats --json`, a line each: its members' values, strings unquoted.
using Listed = std::map<std::string, std::string>;

// The value that starts at `at` (a JSON string, number, true, false or null); `at` moves past it.
std::string ReadValue(const std::string& line, std::size_t& at) {
  std::string value;
  if (line[at] != '"') {
    const std::size_t end = line.find_first_of(",}", at);
    value = line.substr(at, end - at);
    at = end;
    return value;
  }
  for (++at; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\') ++at;  // the texts of this runtime escape nothing but quotes
    value += line[at];
  }
  ++at;
  return value;
}

std::vector<Listed> ParseFormatsJson(const std::string& json) {
  std::vector<Listed> formats;
  std::istringstream lines(json);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  {", 0) != 0) continue;
    Listed format;
    for (std::size_t at = line.find('"'); at != std::string::npos; at = line.find('"', at)) {
      const std::size_t colon = line.find("\": ", at);
      const std::string key = line.substr(at + 1, colon - at - 1);
      at = colon + 3;
      format[key] = ReadValue(line, at);
    }
    formats.push_back(format);
  }
  return formats;
}

std::vector<Listed> ListedFormats() {
  const ProgramRun run = RunProgram({kHost, "formats", "--json"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return ParseFormatsJson(run.out);
}

unsigned long Number(const Listed& format, const std::string& key) {
  return std::stoul(format.at(key), nullptr, 0);
}

// mode, codec index, codec name, format index, description
using Offer = std::tuple<int, unsigned long, std::string, unsigned long, std::string>;

LRESULT PositionOf(const std::vector<platform_testing::ListEntry>& list, unsigned long datum) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (static_cast<unsigned long>(list[i].data) == datum) return static_cast<LRESULT>(i);
  return CB_ERR;
}

class HostFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(library_.Load(FILTER_LIBRARY_PATH, error)) << error;
    listed_ = ListedFormats();
    ASSERT_FALSE(listed_.empty());
  }

  // Runs the headless dialog opened on `incoming` and returns the word it gives.
  DWORD Choose(DWORD incoming, const platform_testing::DialogScript& user) {
    const platform_testing::ScopedDialogScript script(user);
    return library_.exports().filterGetOptions(nullptr, library_.module(), 0, 0, 0, incoming);
  }

  // Every entry of the codec and format lists under each mode, walked through the controls.
  std::vector<Offer> DialogOffers() {
    std::vector<Offer> offers;
    for (const int mode : {0, 1}) {
      Choose(0, [&](platform_testing::DialogUser& user) {
        ASSERT_TRUE(user.Select(IDC_MODE, mode));
        const auto codecs = user.List(IDC_CODEC);
        for (std::size_t position = 0; position < codecs.size(); ++position) {
          ASSERT_TRUE(user.Select(IDC_CODEC, static_cast<LRESULT>(position)));
          for (const auto& format : user.List(IDC_FORMAT)) {
            offers.emplace_back(mode, codecs[position].data, codecs[position].text, format.data,
                                format.text);
          }
        }
        user.PressEscape();
      });
    }
    return offers;
  }

  FilterLibrary library_;
  std::vector<Listed> listed_;
};

TEST_F(HostFormats, ListsWhatTheDialogOffersWithTheWordItsOkGives) {
  std::vector<Offer> listed;
  for (const Listed& format : listed_) {
    listed.emplace_back(format.at("mode") == "variable" ? 1 : 0, Number(format, "codecIndex"),
                        format.at("codecName"), Number(format, "formatIndex"),
                        format.at("description"));
  }
  std::vector<Offer> offered = DialogOffers();
  std::sort(offered.begin(), offered.end());
  // Listed in enumeration order: codec by codec, constant rate first, format by format.
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const Offer& a, const Offer& b) {
    return std::tie(std::get<1>(a), std::get<0>(a), std::get<3>(a)) <
           std::tie(std::get<1>(b), std::get<0>(b), std::get<3>(b));
  }));
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, offered);

  for (const Listed& format : listed_) {
    const DWORD word = Choose(0, [&](platform_testing::DialogUser& user) {
      ASSERT_TRUE(user.Select(IDC_MODE, format.at("mode") == "variable" ? 1 : 0));
      ASSERT_TRUE(
          user.Select(IDC_CODEC, PositionOf(user.List(IDC_CODEC), Number(format, "codecIndex"))));
      ASSERT_TRUE(user.Select(IDC_FORMAT,
                              PositionOf(user.List(IDC_FORMAT), Number(format, "formatIndex"))));
      user.Click(IDOK);
    });
    EXPECT_EQ(word, Number(format, "word")) << format.at("wordHex");
    EXPECT_EQ(word, Number(format, "wordHex"));
  }

  // The default marked is the one the dialog opens on for the word 0.
  const auto marked = std::count_if(listed_.begin(), listed_.end(),
                                    [](const Listed& f) { return f.at("default") == "true"; });
  EXPECT_LE(marked, 1);
  const DWORD opened = Choose(0, [](platform_testing::DialogUser& user) { user.Click(IDOK); });
  for (const Listed& format : listed_) {
    if (format.at("default") == "true") {
      EXPECT_EQ(opened, Number(format, "word"));
    }
  }
}

TEST_F(HostFormats, TextListsTheSameFormatsALineEach) {
  const ProgramRun text = RunProgram({kHost, "formats"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  std::istringstream lines(text.out);
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_LT(count, listed_.size()) << line;
    const Listed& format = listed_[count];
    EXPECT_EQ(line.rfind(format.at("wordHex") + "  " + format.at("mode") + "  ", 0), 0u) << line;
    EXPECT_THAT(line, HasSubstr(format.at("codecName") + "  "));
    EXPECT_THAT(line, HasSubstr(format.at("description")));
    EXPECT_EQ(line.find("(default)") != std::string::npos, format.at("default") == "true") << line;
  }
  EXPECT_EQ(count, listed_.size());
}

// What ffprobe says of the first stream of a file: codec_tag, sample_rate and channels.
std::map<std::string, std::string> ProbedStream(const std::string& path) {
  const ProgramRun probe = RunProgram({"ffprobe", "-v", "error", "-select_streams", "0",
                                       "-show_entries", "stream=codec_tag,sample_rate,channels",
                                       "-of", "default=noprint_wrappers=1", path});
  EXPECT_EQ(probe.exitCode, 0) << path << ": " << probe.err;
  std::map<std::string, std::string> stream;
  std::istringstream lines(probe.out);
  for (std::string line; std::getline(lines, line);)
    stream[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return stream;
}

std::map<std::string, std::string> ListedStream(const Listed& format) {
  char tag[16];
  std::snprintf(tag, sizeof(tag), "0x%04lx", Number(format, "formatTag"));
  return {{"codec_tag", tag},
          {"sample_rate", format.at("sampleRate")},
          {"channels", format.at("channels")}};
}

// Every listed word saves, through the filter's exports as the editor saves, a short file whose
// stream ffprobe finds as listed. (In one process: the table grows with the runtime's lists.)
TEST_F(HostFormats, EveryListedWordSavesAStreamAsListed) {
  const ScratchDirectory directory;
  // 50 ms of a stereo 16-bit ramp at 44.1 kHz, which every format takes (the runtime converts).
  std::vector<std::int16_t> audio(2 * 2205);
  for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<std::int16_t>(i * 7);
  const auto bytes = static_cast<LONG>(audio.size() * sizeof(std::int16_t));
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    const Listed& format = listed_[i];
    const std::string saved = directory / ("out" + std::to_string(i) + ".wma");
    {
      FilterOutput output(library_.exports());
      ASSERT_TRUE(output.Open(saved, 44100, 16, 2, Number(format, "word"))) << format.at("wordHex");
      EXPECT_EQ(library_.exports().writeFilterOutput(output.handle(),
                                                     reinterpret_cast<BYTE*>(audio.data()), bytes),
                bytes);
    }
    EXPECT_EQ(ProbedStream(saved), ListedStream(format)) << format.at("wordHex");
  }
}

// filterhost encode takes a word as formats prints it, in hex or decimal, with blanks around or
// without, and names what it chose; the word 0 chooses the format marked as the default.
TEST_F(HostFormats, EncodeTakesEachFormOfAWordAndNamesItsChoice) {
  const ScratchDirectory directory;
  const std::string wave = directory / "in.wav";
  ASSERT_EQ(RunProgram({WAVETOOL_PATH, wave, "--seconds", "0.05"}).exitCode, 0);
  const Listed& first = listed_.front();
  const Listed& last = listed_.back();
  const std::pair<const Listed*, std::string> runs[] = {{&first, first.at("wordHex")},
                                                        {&last, last.at("word")},
                                                        {&last, " " + last.at("wordHex") + "\t"}};
  for (const auto& [format, word] : runs) {
    const std::string saved = directory / "out.wma";
    const ProgramRun encode = RunProgram({kHost, "encode", wave, saved, "--options", word});
    ASSERT_EQ(encode.exitCode, 0) << word << ": " << encode.err;
    std::string description = format->at("description");
    description.erase(0, description.find_first_not_of(' '));
    EXPECT_EQ(encode.out, "encoded " + wave + " into " + saved + " with options " +
                              format->at("wordHex") + " (" + format->at("codecName") + ", " +
                              format->at("mode") + " rate, " + description + ")\n");
    EXPECT_EQ(ProbedStream(saved), ListedStream(*format)) << word;
  }

  const ProgramRun encode = RunProgram({kHost, "encode", wave, directory / "default.wma"});
  ASSERT_EQ(encode.exitCode, 0) << encode.err;
  for (const Listed& format : listed_) {
    if (format.at("default") == "true") {
      EXPECT_THAT(encode.out, HasSubstr("with options " + format.at("wordHex") + " ("));
    }
  }
}

// One rule for option values: decimal or 0x hex, blanks around passed over, none inside.
TEST(OptionNumbers, AreDecimalOrHexWithBlanksAroundOnly) {
  const std::pair<const char*, long long> rows[] = {
      {"7", 7},
      {" 7", 7},
      {"7 ", 7},
      {"\t0x7\r\n", 7},
      {"0x0000000c", 12},
      {"0X00010015", 0x10015},
      {"0", 0},
      {"4294967295", 0xFFFFFFFF},
      {"0xFFFFFFFF", 0xFFFFFFFF},
      {"0x000000001", 1},
      // refused
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
      {"0x7g", -1},
  };
  for (const auto& [text, expected] : rows) {
    DWORD value = 12345;
    const bool parsed = ParseOptionNumber(text, value);
    EXPECT_EQ(parsed, expected >= 0) << '"' << text << '"';
    if (parsed) {
      EXPECT_EQ(value, static_cast<DWORD>(expected)) << '"' << text << '"';
    }
  }
}

}  // namespace
