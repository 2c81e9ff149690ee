// The host's tag chunks set as string attributes of the file being written.
#include "tags/tag_writing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include <platform_testing.h>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"
#include "tags/host_tags.h"

namespace {

using namespace std::literals;
using ::runtime_double::AttributeCall;
using ::runtime_double::TypedValue;
using ::runtime_double::Utf16Bytes;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;

// One SetAttribute of a text on the whole file, its length counting the terminator.
auto SetsText(std::u16string_view name, std::u16string_view text) {
  return AllOf(Field(&AttributeCall::stream, 0), Field(&AttributeCall::name, std::u16string(name)),
               Field(&AttributeCall::value, TypedValue{WMT_TYPE_STRING, Utf16Bytes(text)}),
               Field(&AttributeCall::length, 2 * (text.size() + 1)));
}

class WritingTags : public LeakCheckedTest {
 protected:
  void SetUp() override {
    LeakCheckedTest::SetUp();
    runtime.codecs = {{u"Windows Media Audio 9",
                       {runtime_double::WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}}};
    LONG chunkSize = 0;
    output = OpenFilterOutput("out.wma", 44100, 16, 2, 0, &chunkSize, 0);
    ASSERT_NE(output, nullptr);
  }
  void TearDown() override {
    CloseFilterOutput(output);
    LeakCheckedTest::TearDown();
  }

  // Offers a chunk whose data is exactly these bytes, as the host does.
  LONG Write(const char* listType, const char* chunkId, std::string_view data) {
    const std::vector<BYTE> bytes(data.begin(), data.end());
    return FilterWriteSpecialData(output, listType, chunkId, bytes.data(),
                                  static_cast<DWORD>(bytes.size()));
  }
  const std::vector<AttributeCall>& attributesSet() const { return runtime.log().attributesSet; }
  OutputContext& context() { return *reinterpret_cast<OutputContext*>(output); }

  runtime_double::RuntimeDouble runtime;
  FilterHandle output = nullptr;
};

TEST_F(WritingTags, EachInfoChunkSetsTheAttributeItNames) {
  const struct {
    const char* chunkId;
    std::u16string_view attributeName;
  } rows[] = {{"IART", u"Author"},      {"ICMT", u"Description"}, {"ICOP", u"Copyright"},
              {"ICRD", u"WM/Year"},     {"IGNR", u"WM/Genre"},    {"INAM", u"WM/AlbumTitle"},
              {"ISFT", u"WM/ToolName"}, {"DISP", u"Title"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.chunkId);
    const std::size_t before = attributesSet().size();
    EXPECT_EQ(Write("INFO", row.chunkId, std::string(row.chunkId) + " text\0"s), 1);
    ASSERT_EQ(attributesSet().size(), before + 1);
    const std::u16string text = std::u16string(row.chunkId, row.chunkId + 4) + u" text";
    EXPECT_THAT(attributesSet().back(), SetsText(row.attributeName, text));
  }
}

TEST_F(WritingTags, TheDisplayChunkCarriesTheTitleAfterItsFormatCode) {
  EXPECT_EQ(Write("WAVE", "DISP", "\1\0\0\0Song\0"sv), 1);
  EXPECT_EQ(Write("WAVE", "DISP", "\1\0\0\0\0"sv), 1);
  EXPECT_EQ(Write("WAVE", "DISP", "\1\0\0\0"sv), 1);
  EXPECT_THAT(attributesSet(), ElementsAre(SetsText(u"Title", u"Song"), SetsText(u"Title", u"")));
}

TEST_F(WritingTags, OtherChunksAreIgnoredWithoutComplaint) {
  const struct {
    const char* listType;
    const char* chunkId;
  } ignored[] = {{"INFO", "iart"}, {"INFO", "IXYZ"},  {"info", "IART"},
                 {"WAVE", "IART"}, {"WAVE", "disp"},  {"wave", "DISP"},
                 {"LIST", "DISP"}, {nullptr, "IART"}, {"INFO", nullptr}};
  for (const auto& chunk : ignored)
    EXPECT_EQ(Write(chunk.listType, chunk.chunkId, "\1\0\0\0x\0"sv), 1);
  EXPECT_EQ(FilterWriteSpecialData(output, "INFO", "IART", nullptr, 4), 1);
  EXPECT_THAT(runtime.callsTo("Writer.QueryInterface"), IsEmpty());

  const std::size_t calls = runtime.calls().size();
  EXPECT_EQ(FilterWriteSpecialData(nullptr, "INFO", "IART", reinterpret_cast<const BYTE*>("x"), 2),
            1);
  EXPECT_EQ(runtime.calls().size(), calls);
}

TEST_F(WritingTags, TheTextEndsAtItsNulOrTheEndOfTheDataAndKeepsItsLineBreaks) {
  EXPECT_EQ(Write("INFO", "IART", "abcdef"sv.substr(0, 3)), 1);
  const BYTE unterminated[] = {'x'};
  EXPECT_EQ(FilterWriteSpecialData(output, "INFO", "ICMT", unterminated, 0), 1);
  EXPECT_EQ(Write("WAVE", "DISP", "\1\0\0\0Song"sv), 1);
  EXPECT_EQ(Write("INFO", "ICOP", "\xA9 \x80\r\n2\n\0junk"sv), 1);
  EXPECT_THAT(
      attributesSet(),
      ElementsAre(SetsText(u"Author", u"abc"), SetsText(u"Description", u""),
                  SetsText(u"Title", u"Song"), SetsText(u"Copyright", u"\u00A9 \u20AC\r\n2\n")));
}

TEST_F(WritingTags, TextTooLongForTheLengthFieldIsCutWhereACharacterEnds) {
  for (std::size_t length : {32766u, 32767u, 70000u}) {
    EXPECT_EQ(Write("INFO", "IART", std::string(length, 'a')), 1);
  }
  const std::u16string longest(32766, u'a');
  EXPECT_THAT(attributesSet(),
              ElementsAre(SetsText(u"Author", longest), SetsText(u"Author", longest),
                          SetsText(u"Author", longest)));

  // A surrogate pair that the cut would split is left out whole.
  std::u16string split = std::u16string(32765, u'a') + u"\U0001F600b";
  EXPECT_TRUE(SetTagAttribute(context(), u"Title", split.data()));
  std::u16string whole = std::u16string(32764, u'a') + u"\U0001F600b";
  EXPECT_TRUE(SetTagAttribute(context(), u"Title", whole.data()));
  EXPECT_THAT(attributesSet().back(), SetsText(u"Title", whole.substr(0, 32766)));
  EXPECT_THAT(attributesSet()[3], SetsText(u"Title", std::u16string(32765, u'a')));
}

TEST_F(WritingTags, EveryFailureStillAnswersOneAndGivesBackWhatItTook) {
  runtime.Fail("Writer.QueryInterface(IWMHeaderInfo)", E_NOINTERFACE);
  EXPECT_EQ(Write("INFO", "IART", "x\0"sv), 1);
  runtime.Fail("HeaderInfo.SetAttribute", NS_E_INVALID_REQUEST);
  EXPECT_EQ(Write("INFO", "IART", "x\0"sv), 1);
  // Data without its NUL takes a bounded copy and the converted text.
  for (unsigned nth : {1u, 2u}) {
    platform_testing::FailHeapAllocation(nth);
    EXPECT_EQ(Write("INFO", "IART", "x"sv), 1);
  }
  EXPECT_EQ(runtime.callsTo("HeaderInfo.SetAttribute").size(), 1u);

  std::u16string text = u"x";
  runtime.Fail("Writer.QueryInterface(IWMHeaderInfo)", E_NOINTERFACE);
  EXPECT_FALSE(SetTagAttribute(context(), u"Author", text.data()));
  runtime.Fail("HeaderInfo.SetAttribute", NS_E_INVALID_REQUEST);
  EXPECT_FALSE(SetTagAttribute(context(), u"Author", text.data()));
}

TEST_F(WritingTags, ATagReadFromOneFileWritesUnchangedToAnother) {
  runtime.reader.attributes = {runtime_double::StringAttribute(u"Title", u"Song"),
                               runtime_double::StringAttribute(u"Description", u"one\ntwo")};
  LONG rate = 0, chunkSize = 0;
  WORD bits = 0, channels = 0;
  FilterHandle input = OpenFilterInput("in.wma", &rate, &bits, &channels, 0, &chunkSize);
  ASSERT_NE(input, nullptr);
  SpecialDataItem item = SentinelItem();
  for (LONG more = FilterGetFirstSpecialData(input, &item); more == 1;
       more = FilterGetNextSpecialData(input, &item)) {
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(item.hData));
    EXPECT_EQ(
        FilterWriteSpecialData(output, item.szListType, item.szChunkId, data, item.dwDataSize), 1);
    GlobalUnlock(item.hData);
    GlobalFree(item.hData);
  }
  CloseFilterInput(input);
  EXPECT_THAT(attributesSet(),
              ElementsAre(SetsText(u"Title", u"Song"), SetsText(u"Description", u"one\r\ntwo")));
}

}  // namespace
