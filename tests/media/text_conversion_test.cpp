// Tag text between the host's code page and UTF-16, and the line breaks the host receives.
#include "media/text_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <platform_testing.h>

#include "support/leak_checked_test.h"

namespace {

HeapBuffer<WCHAR> HeapText(std::u16string_view text) {
  HeapBuffer<WCHAR> buffer(2 * (text.size() + 1));
  std::memcpy(buffer.get(), text.data(), 2 * text.size());
  buffer[text.size()] = 0;
  return buffer;
}

struct LineBreakCase {
  std::u16string_view text;
  std::u16string_view normalized;
  std::u16string_view collapsed;  // what stays when the longer buffer cannot be had
};

// x and y stand for any units other than CR and LF.
constexpr LineBreakCase kLineBreakCases[] = {
    {u"xy", u"xy", u"xy"},
    {u"", u"", u""},
    {u"x\ny", u"x\r\ny", u"x\ny"},
    {u"x\ry", u"x\r\ny", u"x\ry"},
    {u"x\r\ny", u"x\r\ny", u"x\ry"},
    {u"x\r\n\r\ny", u"x\r\n\r\ny", u"x\r\ry"},
    {u"x\r\r\ny", u"x\r\n\r\ny", u"x\r\ry"},
    {u"x\n\r\ny", u"x\r\n\r\ny", u"x\n\ry"},
    {u"x\n\ry", u"x\r\n\r\ny", u"x\n\ry"},
    {u"x\r\n\ny", u"x\r\n\r\ny", u"x\r\ny"},
    {u"x\r\n\r\n\r\ny", u"x\r\n\r\n\r\ny", u"x\r\r\ry"},
    {u"\nx\r", u"\r\nx\r\n", u"\nx\r"},
    {u"\r\n", u"\r\n", u"\r"},
};

class TextConversion : public LeakCheckedTest {};

TEST_F(TextConversion, EveryLineBreakBecomesOneCrLfPair) {
  for (const LineBreakCase& c : kLineBreakCases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.text)));
    HeapBuffer<WCHAR> text = HeapText(c.text);
    const WCHAR* before = text.get();
    NormalizeLineBreaks(text);
    EXPECT_EQ(std::u16string(text.get()), c.normalized);
    if (c.text.find_first_of(u"\r\n") == std::u16string_view::npos) {
      EXPECT_EQ(text.get(), before) << "replaced without need";
    }
  }
}

TEST_F(TextConversion, WithoutRoomToExpandPairsStayCollapsed) {
  for (const LineBreakCase& c : kLineBreakCases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.text)));
    HeapBuffer<WCHAR> text = HeapText(c.text);
    const WCHAR* before = text.get();
    platform_testing::FailHeapAllocation(1);
    NormalizeLineBreaks(text);
    platform_testing::FailHeapAllocation(0);
    EXPECT_EQ(text.get(), before);
    EXPECT_EQ(std::u16string(text.get()), c.collapsed);
  }
}

TEST_F(TextConversion, EveryCharacterOfTheCodePageRoundTrips) {
  std::string bytes;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte != '\r' && byte != '\n') bytes.push_back(static_cast<char>(byte));
  }
  HeapBuffer<WCHAR> wide;
  ASSERT_TRUE(AnsiToWideText(bytes.c_str(), wide));
  const std::u16string units(wide.get());
  ASSERT_EQ(units.size(), bytes.size());
  EXPECT_EQ(units[0x80 - 3], u'\u20AC');  // 0x80, after the two skipped line breaks
  EXPECT_EQ(units[0xE9 - 3], u'\u00E9');
  EXPECT_EQ(units[0x9F - 3], u'\u0178');

  HeapBuffer<char> back;
  ASSERT_TRUE(WideToAnsiText(wide.get(), back));
  EXPECT_EQ(std::string(back.get()), bytes);
}

TEST_F(TextConversion, TowardsTheHostBreaksBecomePairsAndUnshowableCharactersTheDefault) {
  const std::u16string original = u"a\nb\u4E2D\u65E5\u20AC";
  HeapBuffer<char> ansi;
  ASSERT_TRUE(WideToAnsiText(original.c_str(), ansi));
  EXPECT_EQ(std::string(ansi.get()), "a\r\nb??\x80");
  EXPECT_EQ(std::u16string(original.c_str()), u"a\nb\u4E2D\u65E5\u20AC");  // not modified
}

TEST_F(TextConversion, EmptyTextConvertsToEmptyText) {
  HeapBuffer<WCHAR> wide;
  ASSERT_TRUE(AnsiToWideText("", wide));
  EXPECT_EQ(wide[0], 0);
  HeapBuffer<char> ansi;
  ASSERT_TRUE(WideToAnsiText(u"", ansi));
  EXPECT_EQ(ansi[0], 0);
}

TEST_F(TextConversion, AFailedAllocationFailsTheConversionAndLeavesNothing) {
  platform_testing::FailHeapAllocation(1);
  HeapBuffer<WCHAR> wide;
  EXPECT_FALSE(AnsiToWideText("text", wide));
  EXPECT_FALSE(wide);

  // The copy, the expanded copy and the result: only the expansion may fail without harm.
  for (unsigned nth : {1u, 3u}) {
    platform_testing::FailHeapAllocation(nth);
    HeapBuffer<char> ansi;
    EXPECT_FALSE(WideToAnsiText(u"a\nb", ansi)) << "allocation " << nth;
    EXPECT_FALSE(ansi);
  }
  platform_testing::FailHeapAllocation(2);
  HeapBuffer<char> ansi;
  ASSERT_TRUE(WideToAnsiText(u"a\r\nb", ansi));
  EXPECT_EQ(std::string(ansi.get()), "a\rb");
}

}  // namespace
