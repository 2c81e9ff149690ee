// The options word's fields and FindDefaultEncoderOptions: which format it takes, in which
// order it looks, what it skips, and what it gives back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <platform_testing.h>

#include "encode/encode_support.h"
#include "options/encoder_options.h"

namespace encode_testing {
namespace {

using runtime_double::Codec;
using runtime_double::PcmWaveFormatBlock;
using ::testing::IsEmpty;

TEST(EncoderOptionsWord, ReadsModeCodecAndFormatAndIgnoresBits24To30) {
  struct Row {
    DWORD word;
    BOOL vbr;
    DWORD codec;
    DWORD format;
  };
  for (const Row& row : {Row{0x00010003, FALSE, 1, 3}, Row{0x7F010003, FALSE, 1, 3},
                         Row{0x80000000, TRUE, 0, 0}, Row{0xFFFFFFFF, TRUE, 255, 65535}}) {
    const EncoderChoice choice = ReadEncoderOptions(row.word);
    EXPECT_EQ(choice.variableBitRate, row.vbr) << std::hex << row.word;
    EXPECT_EQ(choice.codecIndex, row.codec) << std::hex << row.word;
    EXPECT_EQ(choice.formatIndex, row.format) << std::hex << row.word;
  }
  EXPECT_EQ(BuildEncoderOptions(1, 3, FALSE), 0x00010003u);
  EXPECT_EQ(BuildEncoderOptions(0, 0, TRUE), 0x80000000u);
  EXPECT_EQ(BuildEncoderOptions(255, 65535, TRUE), 0x80FFFFFFu);
}

class DefaultOptionsTest : public LeakCheckedTest {
 protected:
  // The search over this catalogue, checked for a balanced apartment and nothing left alive.
  DWORD Search(std::vector<Codec> codecs) {
    runtime.codecs = std::move(codecs);
    const unsigned apartment = platform_testing::CurrentApartment().initializations;
    const DWORD word = FindDefaultEncoderOptions();
    EXPECT_EQ(platform_testing::CurrentApartment().initializations, apartment);
    EXPECT_EQ(runtime.liveObjects(), 0u);
    EXPECT_EQ(word & kVariableBitRateFlag, 0u);
    return word;
  }

  RuntimeDouble runtime;
};

CodecFormat Described(std::u16string_view description) {
  return WmaFormat(description, 44100, 2, 16);
}

struct SearchCase {
  const char* what;
  std::vector<Codec> codecs;
  DWORD expected;
};

TEST_F(DefaultOptionsTest, TakesTheFirstQualifyingFormatThatBuildsANonZeroWord) {
  const CodecFormat no = NotQualifying();
  const CodecFormat yes = Qualifying();
  const CodecFormat shortBlock = {PcmWaveFormatBlock(yes.format), yes.description};
  CodecFormat unconfigured = yes;
  unconfigured.withConfig = false;
  const std::vector<SearchCase> kCases = {
      {"two codecs with a match",
       {{u"A", {no}}, {u"B", {no, no, no, yes}}, {u"C", {yes}}},
       0x10003},
      {"codec 0 format 0 goes on", {{u"A", {yes}}, {u"B", {no, no, no, yes}}}, 0x10003},
      {"within codec 0 too", {{u"A", {yes, no, yes}}, {u"B", {yes}}}, 2},
      {"a 16-byte format block", {{u"A", {no}}, {u"B", {shortBlock}}, {u"C", {yes}}}, 0x10000},
      {"codec 0 format 0 alone", {{u"A", {yes, no}}, {u"B", {no}}}, 0},
      {"mono", {{u"A", {no, WmaFormat(u"128 kbps, 44 kHz, mono CBR", 44100, 1, 16)}}}, 1},
      {"audio and video", {{u"A", {no, Described(u"128 kbps, 44 kHz, stereo (A/V) CBR")}}}, 0},
      {"capitals", {{u"A", {no, Described(u"128 Kbps, 44 kHz, stereo CBR")}}}, 0},
      {"spacing", {{u"A", {no, Described(u"128kbps, 44 kHz, stereo CBR")}}}, 0},
      {"48 kHz", {{u"A", {no, WmaFormat(u"128 kbps, 48 kHz, stereo CBR", 48000, 2, 16)}}}, 0},
      {"24 bits", {{u"A", {no, WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 24)}}}, 0},
      {"5.1", {{u"A", {no, WmaFormat(u"128 kbps, 44 kHz, 6 channel CBR", 44100, 6, 16)}}}, 0},
      {"variable bit rate only", {{u"A", {no}, {no, yes}}}, 0},
      {"no codecs", {}, 0},
      {"a format without its configuration", {{u"A", {no}}, {u"B", {unconfigured, yes}}}, 0x10001},
  };
  for (const SearchCase& search : kCases) {
    SCOPED_TRACE(search.what);
    EXPECT_EQ(Search(search.codecs), search.expected);
  }
  // The search stops at its match: codec 2 is never looked at.
  EXPECT_EQ(Search(kCases[0].codecs), 0x10003u);
  EXPECT_THAT(runtime.callsTo("CodecInfo.SetCodecEnumerationSetting(audio, 2"), IsEmpty());
  // A match past codec 255 is out of the word's reach: its word would name codec 0.
  std::vector<Codec> many(256, Codec{u"A", {no}});
  many.push_back({u"B", {yes}});
  EXPECT_EQ(Search(many), 0u) << "codec 256";
}

TEST_F(DefaultOptionsTest, ReleasesEachFormatInOrderAndTheEnumerationCodecInfoFirst) {
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  const unsigned apartment = platform_testing::CurrentApartment().initializations;
  ASSERT_EQ(Search({{u"A", {NotQualifying(), Qualifying()}}}), 1u);
  const auto& releases = runtime.log().releases;
  std::vector<std::pair<std::string, ULONG>> order;
  for (const auto& release : releases) order.push_back({release.object, release.referencesLeft});
  // Per format: its media properties, then its configuration (one object); then the codec
  // information and the profile manager (one object).
  const std::vector<std::pair<std::string, ULONG>> expected = {
      {"StreamConfig", 1}, {"StreamConfig", 0},   {"StreamConfig", 1},
      {"StreamConfig", 0}, {"ProfileManager", 1}, {"ProfileManager", 0}};
  EXPECT_EQ(order, expected);
  for (const auto& release : runtime.finalReleases()) {
    EXPECT_EQ(release.apartmentCount, apartment + 1);
    // A configuration goes after its media type and before its description.
    const std::size_t held = release.object == "StreamConfig" ? 1 : 0;
    EXPECT_EQ(release.liveHeapBlocks, heapBlocks + held) << release.object;
  }
}

TEST_F(DefaultOptionsTest, AFailureBeforeTheLoopsEndsTheSearchWithZero) {
  for (const char* call : {"WMCreateProfileManager", "ProfileManager.QueryInterface(IWMCodecInfo3)",
                           "CodecInfo.GetCodecInfoCount"}) {
    SCOPED_TRACE(call);
    runtime.Fail(call, E_FAIL);
    EXPECT_EQ(Search({{u"A", {NotQualifying(), Qualifying()}}}), 0u);
  }
  // COM refused: no runtime call and no CoUninitialize.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  const std::size_t calls = runtime.calls().size();
  EXPECT_EQ(Search({{u"A", {NotQualifying(), Qualifying()}}}), 0u);
  EXPECT_EQ(runtime.calls().size(), calls);
  EXPECT_EQ(platform_testing::CurrentApartment().initializations, 1u);
  CoUninitialize();
}

TEST_F(DefaultOptionsTest, AFailureInsideTheLoopsSkipsOnlyTheCodecOrFormatConcerned) {
  // Codec 0: formats 0 and 2 qualify, format 1 qualifies too unless its reading fails.
  // Codec 1: format 0 qualifies.
  const std::vector<Codec> catalogue = {
      {u"A", {NotQualifying(), Qualifying(), Qualifying()}},
      {u"B", {Qualifying()}},
  };
  struct Skip {
    const char* what;
    std::function<void(RuntimeDouble&)> plan;
    DWORD expected;
  };
  const auto fail = [](const char* call, unsigned nth) {
    return [=](RuntimeDouble& runtime) { runtime.Fail(call, E_FAIL, nth); };
  };
  const auto failHeap = [](unsigned nth) {
    return [=](RuntimeDouble&) { platform_testing::FailHeapAllocation(nth); };
  };
  const Skip kSkips[] = {
      {"bit-rate mode of codec 0", fail("CodecInfo.SetCodecEnumerationSetting", 1), 0x10000},
      {"format count of codec 0", fail("CodecInfo.GetCodecFormatCount", 1), 0x10000},
      {"description length of format 1", fail("CodecInfo.GetCodecFormatDesc", 3), 2},
      {"description of format 1", fail("CodecInfo.GetCodecFormatDesc", 4), 2},
      {"media properties of format 1", fail("StreamConfig.QueryInterface(IWMMediaProps)", 2), 2},
      {"media type size of format 1", fail("StreamConfig.GetMediaType", 3), 2},
      {"media type of format 1", fail("StreamConfig.GetMediaType", 4), 2},
      {"description block of format 1", failHeap(3), 2},
      {"media type block of format 1", failHeap(4), 2},
      {"nothing", [](RuntimeDouble&) {}, 1},
  };
  for (const Skip& skip : kSkips) {
    SCOPED_TRACE(skip.what);
    skip.plan(runtime);
    EXPECT_EQ(Search(catalogue), skip.expected);
    platform_testing::FailHeapAllocation(0);
  }
}

}  // namespace
}  // namespace encode_testing
