#include "display_text.h"

#include <cstdio>
#include <vector>

#include <windows.h>

namespace {

// Text in one code page through UTF-16 into another, by the system's own conversions; invalid
// UTF-8 becomes U+FFFD and what the ANSI code page cannot show its default character.
std::string Convert(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::vector<WCHAR> wide(static_cast<std::size_t>(units));
  MultiByteToWideChar(from, 0, text.data(), size, wide.data(), units);
  const int bytes = WideCharToMultiByte(to, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, wide.data(), units, converted.data(), bytes, nullptr, nullptr);
  return converted;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }

std::string SystemErrorText(DWORD code) {
  char text[512];
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof(text), nullptr);
  std::string words(text, length);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
    words.pop_back();
  return words;
}

std::string LastErrorCause() {
  const DWORD code = GetLastError();
  if (code == ERROR_SUCCESS) return "";
  const auto result = static_cast<HRESULT>(code);
  const bool carriesWin32 = FAILED(result) && HRESULT_FACILITY(result) == FACILITY_WIN32;
  const std::string words = SystemErrorText(carriesWin32 ? HRESULT_CODE(result) : code);
  if (!words.empty()) return ": " + words;
  return FAILED(result) ? ": error " + HexWord(code) : "";
}

std::string OneLine(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", unsigned{byte});
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string JsonString(const std::string& utf8) {
  std::string quoted = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

std::string HexWord(DWORD value) {
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(value));
  return text;
}

std::string WideToUtf8(const WCHAR* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), bytes, nullptr, nullptr);
  converted.pop_back();  // the terminator
  return converted;
}
