#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include <errno_mapping.h>
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

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string wide;
};

// UTF-8 as Windows converts it: each maximal invalid part is one U+FFFD, and an unpaired
// surrogate is U+FFFD on the way back.
const Utf8Case kUtf8[] = {
    {"ascii", "abc", u"abc"},
    {"two_three_four_bytes", "\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00F1\u20AC\U0001F600"},
    {"stray_continuation",
     "a\x80"
     "b",
     u"a\uFFFDb"},
    {"cut_sequence", "\xE2\x82", u"\uFFFD"},
    {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"encoded_surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"above_10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"latin1_bytes", "Se\xF1or", u"Se\uFFFDor"},
};

TEST(CodePage, Utf8ToWideReplacesInvalidSequences) {
  for (const Utf8Case& c : kUtf8) {
    const int size = static_cast<int>(c.utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), size, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), size, wide.data(), units), units);
    EXPECT_EQ(wide, c.wide) << c.name;
    const bool valid = c.wide.find(u'\uFFFD') == std::u16string::npos;
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.utf8.data(), size, nullptr, 0),
              valid ? units : 0)
        << c.name;
    if (!valid) {
      EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION) << c.name;
    }
  }
}

TEST(CodePage, WideToUtf8ReplacesUnpairedSurrogates) {
  const std::u16string wide = u"\u00F1\U0001F600";
  char utf8[16] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8, 16, nullptr, nullptr), 7);
  EXPECT_STREQ(utf8, "\xC3\xB1\xF0\x9F\x98\x80");
  const WCHAR lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, utf8, 16, nullptr, nullptr), 9);
  EXPECT_STREQ(utf8,
               "a\xEF\xBF\xBD"
               "b\xEF\xBF\xBD");
  EXPECT_EQ(
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, nullptr, 0, nullptr, nullptr),
      0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  // A character is written whole or the call fails; UTF-8 takes no default character.
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a\u20AC", 2, utf8, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, utf8, 16, nullptr, &usedDefault), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", -1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(SystemError, FormatMessageGivesTheSystemsWordsForWin32Codes) {
  char text[256];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length =
      FormatMessageA(flags, nullptr, Win32ErrorFromErrno(ENOSPC), 0, text, sizeof(text), nullptr);
  EXPECT_EQ(std::string(text, length), std::string(std::strerror(ENOSPC)) + "\r\n");
  EXPECT_EQ(Win32ErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
  EXPECT_EQ(Win32ErrorFromErrno(EPERM), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FormatMessageA(flags, nullptr, 0xFFFF, 0, text, sizeof(text), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_DISK_FULL, 0, text, 4, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
