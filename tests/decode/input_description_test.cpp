// FilterGetFileSize and FilterOptionsString: the size estimate from the file's duration, the
// two-line codec text, and on every failure 0 and the host's buffer as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <platform_testing.h>

#include "decode/input_file.h"
#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"

namespace {

using ::testing::ElementsAre;
using namespace runtime_double;

constexpr std::size_t kTextBytes = 128;

class InputDescriptionTest : public LeakCheckedTest {
 protected:
  RuntimeDouble runtime;
};

// ---- The size estimate ----

struct SizeCase {
  QWORD duration;  // 100-nanosecond units
  DWORD rate;
  WORD channels;
  WORD readerBits;
  ULONGLONG expected;
};

class FileSizeTest : public InputDescriptionTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(FileSizeTest, CountsWholeTenthsOfTheDurationPlusOne) {
  const SizeCase& c = GetParam();
  runtime.reader.outputFormats = {PcmFormat(c.rate, c.channels, c.readerBits)};
  runtime.reader.attributes = {StringAttribute(u"Title", u"Song"),
                               QwordAttribute(u"Duration", c.duration)};
  InputFile input;
  ASSERT_TRUE(input);
  EXPECT_EQ(FilterGetFileSize(input.handle()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FileSizeTest,
    testing::Values(SizeCase{1'800'000'000, 44100, 2, 16, 31'769'640},  // 180 s
                    SizeCase{10'000'000, 48000, 2, 24, 422'400},        // floats: 4 bytes each
                    SizeCase{999'999, 44100, 1, 16, 8'820},             // under a tenth
                    SizeCase{1'000'000, 44100, 1, 16, 17'640},          // exactly a tenth
                    SizeCase{10'000'000, 22050, 1, 8, 24'255},
                    // Ten hours of 8 channels: the estimate needs all 64 bits.
                    SizeCase{360'000'000'000, 96000, 8, 24, 110'592'307'200},
                    // A hostile duration whose estimate passes 64 bits gives none, not a wrap.
                    SizeCase{0xFFFF'FFFF'FFFF'FFFF, 192000, 8, 24, 0}));

TEST_F(InputDescriptionTest, TheSizeIsZeroWheneverTheDurationCannotBeRead) {
  const Attribute duration = QwordAttribute(u"Duration", 10'000'000);
  const Attribute shortDuration{u"Duration", {WMT_TYPE_QWORD, {0x80, 0x96, 0x98, 0x00}}};
  const Attribute emptyDuration{u"Duration", {WMT_TYPE_QWORD, {}}};
  const Attribute streamDuration{u"Duration", duration.value, 0, /*stream=*/1};
  struct Case {
    const char* what;
    std::vector<Attribute> attributes;
    std::function<void(RuntimeDouble&)> arrange;
    unsigned failingAllocation = 0;
  };
  const auto failing = [](const char* call, unsigned nth) {
    return [call, nth](RuntimeDouble& runtime) { runtime.Fail(call, E_FAIL, nth); };
  };
  const auto asScripted = [](RuntimeDouble&) {};
  const Case cases[] = {
      {"no Duration", {StringAttribute(u"Title", u"Song")}, asScripted},
      {"Duration of a stream only", {streamDuration}, asScripted},
      {"Duration of 4 bytes", {shortDuration}, asScripted},
      {"Duration of 0 bytes", {emptyDuration}, asScripted},
      {"no header interface", {duration}, failing("SyncReader.QueryInterface(IWMHeaderInfo3)", 1)},
      {"size query fails", {duration}, failing("HeaderInfo.GetAttributeByName", 1)},
      {"value query fails", {duration}, failing("HeaderInfo.GetAttributeByName", 2)},
      {"no memory for the value", {duration}, asScripted, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    runtime.reader.attributes = c.attributes;
    InputFile input;
    ASSERT_TRUE(input);
    const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
    c.arrange(runtime);
    platform_testing::FailHeapAllocation(c.failingAllocation);
    EXPECT_EQ(FilterGetFileSize(input.handle()), 0u);
    EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks);
  }
}

// ---- The codec text ----

// The host's text buffer, with room after it to see that nothing is written past 128 bytes.
struct TextBuffer {
  char bytes[kTextBytes + 32];
  TextBuffer() { std::memset(bytes, 0xAA, sizeof(bytes)); }
  bool Untouched() const {
    for (char byte : bytes) {
      if (static_cast<BYTE>(byte) != 0xAA) return false;
    }
    return true;
  }
  bool UntouchedPast128() const {
    for (std::size_t i = kTextBytes; i < sizeof(bytes); ++i) {
      if (static_cast<BYTE>(bytes[i]) != 0xAA) return false;
    }
    return true;
  }
};

// The codec text of a file whose first codec entry has this name and description.
std::string CodecText(RuntimeDouble& runtime, std::u16string name, std::u16string description,
                      WORD claimedExtraUnits = 0) {
  runtime.reader.codecs = {
      {std::move(name), std::move(description), WMT_CODECINFO_AUDIO, {}, claimedExtraUnits}};
  InputFile input;
  TextBuffer text;
  EXPECT_EQ(FilterOptionsString(input.handle(), text.bytes), 0);
  EXPECT_TRUE(text.UntouchedPast128());
  EXPECT_LT(strnlen(text.bytes, kTextBytes), kTextBytes) << "no terminator within 128 bytes";
  return std::string(text.bytes, strnlen(text.bytes, kTextBytes));
}

TEST_F(InputDescriptionTest, TheCodecTextIsTheNameAndTheDescriptionUpToItsFirstComma) {
  EXPECT_EQ(CodecText(runtime, u"Alpha", u"64 kbps, 44 kHz, stereo"), "Alpha\n64 kbps");
  EXPECT_EQ(CodecText(runtime, u"Alpha", u"Lossless"), "Alpha\nLossless");
  EXPECT_EQ(CodecText(runtime, u"Alpha", u""), "Alpha\n");
  EXPECT_EQ(CodecText(runtime, u"Alpha", u", 44 kHz"), "Alpha\n");
  EXPECT_EQ(CodecText(runtime, u"", u"VBR"), "\nVBR");
  // A runtime that asked for more room than it filled: the texts end where its second call says.
  EXPECT_EQ(CodecText(runtime, u"Alpha", u"64 kbps", 3), "Alpha\n64 kbps");
  // In the ANSI code page; what it cannot show becomes its default character.
  EXPECT_EQ(CodecText(runtime, u"Voix \u00e9t\u00e9", u"\u0416 8 kbps"),
            "Voix \xe9t\xe9\n? 8 kbps");
}

TEST_F(InputDescriptionTest, ALongNameOrDescriptionIsCutAtAWholeCharacterWithin128Bytes) {
  const std::u16string longName(100, u'N');
  const std::u16string longDescription(200, u'D');
  EXPECT_EQ(CodecText(runtime, longName, u"64 kbps"), std::string(63, 'N') + "\n64 kbps");
  EXPECT_EQ(CodecText(runtime, u"Alpha", longDescription),
            "Alpha\n" + std::string(kTextBytes - 7, 'D'));
  EXPECT_EQ(CodecText(runtime, longName, longDescription),
            std::string(63, 'N') + "\n" + std::string(63, 'D'));
  // A surrogate pair that would be split by the cut is left out whole.
  EXPECT_EQ(CodecText(runtime, std::u16string(62, u'a') + u"\U0001F600", u"x"),
            std::string(62, 'a') + "\nx");
}

TEST_F(InputDescriptionTest, OnEveryFailureTheTextIsLeftAsItWas) {
  struct Case {
    const char* what;
    std::vector<CodecEntry> codecs;
    std::function<void(RuntimeDouble&)> arrange;
    unsigned failingAllocation = 0;
  };
  const std::vector<CodecEntry> alpha = {{u"Alpha", u"64 kbps, 44 kHz", WMT_CODECINFO_AUDIO, {1}}};
  const auto failing = [](const char* call, unsigned nth) {
    return [call, nth](RuntimeDouble& runtime) { runtime.Fail(call, E_FAIL, nth); };
  };
  const auto asScripted = [](RuntimeDouble&) {};
  const Case cases[] = {
      {"no codec entry", {}, asScripted},
      {"no header interface", alpha, failing("SyncReader.QueryInterface(IWMHeaderInfo3)", 1)},
      {"length query fails", alpha, failing("HeaderInfo.GetCodecInfo", 1)},
      {"text query fails", alpha, failing("HeaderInfo.GetCodecInfo", 2)},
      {"no memory for the name", alpha, asScripted, 1},
      {"no memory for the description", alpha, asScripted, 2},
      {"no memory for the codec information", alpha, asScripted, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    runtime.reader.codecs = c.codecs;
    InputFile input;
    ASSERT_TRUE(input);
    const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
    c.arrange(runtime);
    platform_testing::FailHeapAllocation(c.failingAllocation);
    TextBuffer text;
    EXPECT_EQ(FilterOptionsString(input.handle(), text.bytes), 0);
    EXPECT_TRUE(text.Untouched());
    EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks);
  }
}

TEST_F(InputDescriptionTest, ANullHandleHasSizeZeroAndLeavesTheTextAsItWas) {
  EXPECT_EQ(FilterGetFileSize(nullptr), 0u);
  TextBuffer text;
  EXPECT_EQ(FilterOptionsString(nullptr, text.bytes), 0);
  EXPECT_TRUE(text.Untouched());
  runtime.reader.codecs = {{u"Alpha", u"64 kbps"}};
  InputFile input;
  EXPECT_EQ(FilterOptionsString(input.handle(), nullptr), 0);
}

// ---- Both any number of times, between reads ----

TEST_F(InputDescriptionTest, RepeatedDescriptionsGiveTheSameAndLeaveAReadInProgressAlone) {
  runtime.reader.samples = {{{1, 2, 3, 4}}, {{5, 6}}};
  runtime.reader.attributes = {QwordAttribute(u"Duration", 1'800'000'000)};
  runtime.reader.codecs = {{u"Alpha", u"64 kbps, 44 kHz"}};
  InputFile input;
  EXPECT_THAT(input.Read(3), ElementsAre(1, 2, 3));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(FilterGetFileSize(input.handle()), 31'769'640u);
    TextBuffer text;
    FilterOptionsString(input.handle(), text.bytes);
    EXPECT_STREQ(text.bytes, "Alpha\n64 kbps");
  }
  EXPECT_THAT(input.Read(8), ElementsAre(4, 5, 6));
}

}  // namespace
