#include <gtest/gtest.h>

#include <array>
#include <string>

#include <windows.h>

namespace {

struct ByteAndUnit {
  unsigned char byte;
  char16_t unit;
};

// Samples of Windows' own table for code page 1252, including its five undefined bytes.
constexpr ByteAndUnit kWindows1252[] = {
    {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A},
    {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x99, 0x2122},
    {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
};

TEST(CodePage, MapsBytesAsWindows1252) {
  for (const auto& [byte, unit] : kWindows1252) {
    const char source = static_cast<char>(byte);
    WCHAR converted = 0xFFFF;
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, &source, 1, &converted, 1), 1);
    EXPECT_EQ(converted, unit) << "byte " << int{byte};

    char back = 0;
    BOOL usedDefault = TRUE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &converted, 1, &back, 1, nullptr, &usedDefault), 1);
    EXPECT_EQ(static_cast<unsigned char>(back), byte);
    EXPECT_FALSE(usedDefault);
  }
}

TEST(CodePage, RoundTripsAllBytes) {
  std::array<char, 256> bytes{};
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  std::array<WCHAR, 256> wide{};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes.data(), 256, wide.data(), 256), 256);
  std::array<char, 256> back{};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), 256, back.data(), 256, nullptr, nullptr),
            256);
  EXPECT_EQ(back, bytes);
}

TEST(CodePage, SizeQueriesCountTheTerminatorOfNulTerminatedText) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "", -1, nullptr, 0), 1);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);

  WCHAR wide[4];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
}

TEST(CodePage, UndersizedTargetFailsWithInsufficientBuffer) {
  WCHAR wide[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

  char narrow[3];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, RefusesEmptyOrMissingSource) {
  WCHAR wide[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, wide, 2), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, nullptr, 0, nullptr, nullptr), 0);
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeTheDefaultCharacter) {
  const WCHAR text[] = u"a\u0100b\u4E2D\U0001F600";
  char narrow[16] = {};
  BOOL usedDefault = FALSE;
  const int written =
      WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof(narrow), nullptr, &usedDefault);
  EXPECT_EQ(written, 7);  // every UTF-16 unit, the surrogate halves included, plus the NUL
  EXPECT_STREQ(narrow, "a?b???");
  EXPECT_TRUE(usedDefault);

  const char star = '*';
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u0100", -1, narrow, 2, &star, nullptr), 2);
  EXPECT_STREQ(narrow, "*");
}

}  // namespace
