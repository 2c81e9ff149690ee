// Text between the ANSI code page, in which the "A" calls and resource scripts speak, and the
// UTF-16 of templates, through kernel32's conversions.
#pragma once

#include <string>

#include <windows.h>

namespace user32 {

inline std::u16string AnsiToUtf16(const std::string& text) {
  std::u16string wide(text.size(), u'\0');
  if (!text.empty()) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        static_cast<int>(wide.size()));
  }
  return wide;
}

inline std::string Utf16ToAnsi(const std::u16string& text) {
  std::string ansi(text.size(), '\0');
  if (!text.empty()) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(),
                        static_cast<int>(ansi.size()), nullptr, nullptr);
  }
  return ansi;
}

}  // namespace user32
