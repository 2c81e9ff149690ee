// UTF-16 text in code shared by Windows and the other builds: WCHAR is wchar_t on Windows and
// char16_t elsewhere, so literals are written through WSTR, never with L"" directly, and strings
// of WCHAR are WideString.
#pragma once

#include <cstddef>
#include <string>

#include <windows.h>

#ifdef _WIN32
#define WSTR(text) L##text
#else
#define WSTR(text) u##text
#endif

using WideString = std::basic_string<WCHAR>;

// Units before the terminator.
constexpr std::size_t WideLength(const WCHAR* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// The first half of a surrogate pair: a text cut after it would split a character.
constexpr bool IsHighSurrogate(WCHAR unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Exact, case-sensitive substring search.
constexpr bool WideContains(const WCHAR* text, const WCHAR* part) {
  for (; *text != 0; ++text) {
    std::size_t i = 0;
    while (part[i] != 0 && text[i] == part[i]) ++i;
    if (part[i] == 0) return true;
  }
  return *part == 0;
}

// Whether `text` is there and equals `expected`.
constexpr bool WideEquals(const WCHAR* text, const WCHAR* expected) {
  if (text == nullptr) return false;
  std::size_t i = 0;
  while (text[i] != 0 && text[i] == expected[i]) ++i;
  return text[i] == expected[i];
}
