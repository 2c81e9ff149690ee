// A file's header attributes handed to the host as special data, one per call. A header
// interface left unreleased keeps the reader alive past its close, which the fixture reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <platform_testing.h>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"
#include "tags/host_tags.h"

namespace {

using ::runtime_double::Attribute;
using ::runtime_double::DwordAttribute;
using ::runtime_double::QwordAttribute;
using ::runtime_double::StringAttribute;
using ::testing::ElementsAre;

class ReadingTags : public LeakCheckedTest {
 protected:
  void TearDown() override {
    CloseFilterInput(input);
    LeakCheckedTest::TearDown();
  }

  // Opens a file with this header as the host does.
  void Open(std::vector<Attribute> attributes) {
    runtime.reader.attributes = std::move(attributes);
    LONG rate = 0, chunkSize = 0;
    WORD bits = 0, channels = 0;
    input = OpenFilterInput("song.wma", &rate, &bits, &channels, 0, &chunkSize);
    ASSERT_NE(input, nullptr);
  }

  runtime_double::RuntimeDouble runtime;
  FilterHandle input = nullptr;
};

TEST_F(ReadingTags, MappedAttributesComeInHeaderOrderAndTheFirstCallStartsOver) {
  Open({QwordAttribute(u"Duration", 10'000'000), StringAttribute(u"Title", u"Song"),
        DwordAttribute(u"Bitrate", 128000), StringAttribute(u"Author", u"Band"),
        StringAttribute(u"WM/AlbumArtist", u"Band")});
  SpecialDataItem item = SentinelItem();

  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(item.dwCursor, 2u);
  EXPECT_EQ(TakeTag(item), DisplayTag("Song"));
  ASSERT_EQ(FilterGetNextSpecialData(input, &item), 1);
  EXPECT_EQ(item.dwCursor, 4u);
  EXPECT_EQ(TakeTag(item), InfoTag("IART", "Band"));
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(FilterGetNextSpecialData(input, &item), 0);
    EXPECT_EQ(item.dwCursor, 5u);
  }
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(TakeTag(item), DisplayTag("Song"));
}

TEST_F(ReadingTags, EachMappedTextAttributeBecomesOneTagAsTheHostKeepsIt) {
  Open({StringAttribute(u"author", u"x"),
        StringAttribute(u"WM/AlbumTitle", u"Album"),
        StringAttribute(u"Title", u""),
        StringAttribute(u"Description", u""),
        StringAttribute(u"DESCRIPTION", u"a\nb\rc\r\n\r\nd\n"),
        DwordAttribute(u"WM/Year", 1999),
        StringAttribute(u"WM/Year", u"1999"),
        {u"WM/Genre", {WMT_TYPE_STRING, runtime_double::Utf16Bytes(u"Jazz", false)}},
        StringAttribute(u"Copyright", u"\u00A9 \u20AC \u4E2D"),
        StringAttribute(u"Author ", u"x"),
        {u"WM/ToolName", {WMT_TYPE_STRING, runtime_double::Utf16Bytes(u"tool")}, 1}});
  SpecialDataItem item = SentinelItem();
  std::vector<Tag> tags;
  for (LONG more = FilterGetFirstSpecialData(input, &item); more == 1;
       more = FilterGetNextSpecialData(input, &item)) {
    tags.push_back(TakeTag(item));
  }
  EXPECT_EQ(item.dwCursor, 11u);
  EXPECT_THAT(tags, ElementsAre(InfoTag("IART", "x"), InfoTag("INAM", "Album"), DisplayTag(""),
                                InfoTag("ICMT", ""), InfoTag("ICMT", "a\r\nb\r\nc\r\n\r\nd\r\n"),
                                InfoTag("ICRD", "1999"), InfoTag("IGNR", "Jazz"),
                                InfoTag("ICOP", "\xA9 \x80 ?"), InfoTag("ISFT", "tool")));
}

TEST_F(ReadingTags, AHeaderWithNothingMappedLeavesTheCursorAtTheAttributeCount) {
  Open({QwordAttribute(u"Duration", 1), StringAttribute(u"WM/AlbumArtist", u"Band"),
        StringAttribute(u"Titles", u"Song")});
  SpecialDataItem item = SentinelItem();
  EXPECT_EQ(FilterGetFirstSpecialData(input, &item), 0);
  SpecialDataItem expected = SentinelItem();
  expected.dwCursor = 3;
  ExpectSameRecord(item, expected);
}

TEST_F(ReadingTags, WithoutAHandleOrAHeaderTheRecordIsLeftAlone) {
  Open({StringAttribute(u"Title", u"Song")});
  const SpecialDataItem untouched = SentinelItem();
  SpecialDataItem item = untouched;
  EXPECT_EQ(FilterGetFirstSpecialData(nullptr, &item), 0);
  EXPECT_EQ(FilterGetNextSpecialData(nullptr, &item), 0);
  ExpectSameRecord(item, untouched);

  runtime.FailEvery("SyncReader.QueryInterface(IWMHeaderInfo3)", E_NOINTERFACE);
  EXPECT_EQ(FilterGetNextSpecialData(input, &item), 0);
  ExpectSameRecord(item, untouched);
  EXPECT_EQ(FilterGetFirstSpecialData(input, &item), 0);
  SpecialDataItem restarted = untouched;
  restarted.dwCursor = 0;
  ExpectSameRecord(item, restarted);
  EXPECT_THAT(runtime.callsTo("HeaderInfo."), testing::IsEmpty());
}

TEST_F(ReadingTags, AnAttributeThatCannotBeReadOrHandedOverIsSkipped) {
  Open({StringAttribute(u"Description", u"a\nb"), StringAttribute(u"Title", u"T")});
  SpecialDataItem item = SentinelItem();
  const unsigned before = platform_testing::HeapAllocationCalls();
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  ASSERT_EQ(platform_testing::HeapAllocationCalls() - before, 5u);
  EXPECT_EQ(TakeTag(item), InfoTag("ICMT", "a\r\nb"));

  // Name, value, copy, expanded copy, host text: only the expansion has a fallback.
  const Tag expected[] = {DisplayTag("T"), DisplayTag("T"), DisplayTag("T"),
                          InfoTag("ICMT", "a\nb"), DisplayTag("T")};
  for (unsigned nth = 1; nth <= 5; ++nth) {
    SCOPED_TRACE(nth);
    platform_testing::FailHeapAllocation(nth);
    ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
    EXPECT_EQ(TakeTag(item), expected[nth - 1]);
  }

  runtime.Fail("HeaderInfo.GetAttributeByIndexEx", E_FAIL, /*nth=*/2);
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(TakeTag(item), DisplayTag("T"));

  platform_testing::FailGlobalAllocation(1);
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(TakeTag(item), DisplayTag("T"));
}

TEST_F(ReadingTags, AValueIsBoundedByTheRuntimesSecondLengthAndAHugeOneIsPassedOver) {
  Attribute huge = StringAttribute(u"Author", u"A");
  huge.claimedLength = 0xFFFFFFFC;  // its padded size wraps around 32 bits
  Attribute shrinking{u"Title", {WMT_TYPE_STRING, runtime_double::Utf16Bytes(u"Song", false)}};
  shrinking.claimedLength = 16;  // then gives 8 bytes and no terminator
  Open({huge, shrinking});
  SpecialDataItem item = SentinelItem();
  const unsigned before = platform_testing::HeapAllocationCalls();
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(TakeTag(item), DisplayTag("Song"));
  // Name, value, copy and host text of the title only; the huge value is never asked for.
  EXPECT_EQ(platform_testing::HeapAllocationCalls() - before, 4u);
  EXPECT_THAT(runtime.callsTo("HeaderInfo.GetAttributeByIndexEx(0, 0, buffer"), testing::IsEmpty());
}

TEST_F(ReadingTags, ANameEndsAtTheRuntimesSecondLength) {
  Attribute overclaimed = StringAttribute(u"Title", u"Song");
  overclaimed.claimedNameExtraUnits = 3;  // the fill leaves "TitleZZZZ", unterminated
  Open({overclaimed});
  SpecialDataItem item = SentinelItem();
  ASSERT_EQ(FilterGetFirstSpecialData(input, &item), 1);
  EXPECT_EQ(TakeTag(item), DisplayTag("Song"));
}

TEST_F(ReadingTags, ABlockThatCannotBeAllocatedOrLockedEndsTheCallWithoutAnItem) {
  Open({StringAttribute(u"Title", u"T")});
  for (const auto fault :
       {platform_testing::FailGlobalAllocation, platform_testing::FailGlobalLock}) {
    SpecialDataItem item = SentinelItem();
    item.dwCursor = 0;
    const std::size_t blocks = platform_testing::LiveGlobalBlocks();
    fault(1);
    EXPECT_EQ(FilterGetNextSpecialData(input, &item), 0);
    SpecialDataItem expected = SentinelItem();
    expected.dwCursor = 1;
    expected.hData = nullptr;
    ExpectSameRecord(item, expected);
    EXPECT_EQ(platform_testing::LiveGlobalBlocks(), blocks) << "nothing half made is kept";
  }
}

TEST_F(ReadingTags, TheEnumerationEndsWhereTheHeaderOrTheIndexRunsOut) {
  Open({StringAttribute(u"Title", u"T"), StringAttribute(u"Author", u"A")});
  SpecialDataItem item = SentinelItem();
  runtime.Fail("HeaderInfo.GetAttributeByIndexEx", E_FAIL);
  EXPECT_EQ(FilterGetFirstSpecialData(input, &item), 0);
  EXPECT_EQ(item.dwCursor, 0u);

  // Indices are 16 bits: a cursor past them must not wrap around to the first attributes.
  for (DWORD cursor : {0x10000u, 0x10001u}) {
    item.dwCursor = cursor;
    EXPECT_EQ(FilterGetNextSpecialData(input, &item), 0);
    EXPECT_EQ(item.dwCursor, cursor);
  }
  EXPECT_EQ(runtime.callsTo("HeaderInfo.").size(), 1u);
}

}  // namespace
