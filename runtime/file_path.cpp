#include "file_path.h"

namespace wmvcore {

std::optional<std::string> PathFromWide(const WCHAR* name) {
  if (name == nullptr || name[0] == 0) return std::nullopt;
  std::string path;
  for (const WCHAR* unit = name; *unit != 0; ++unit) {
    char32_t code = *unit;
    if (code >= 0xD800 && code <= 0xDBFF) {
      const char32_t low = unit[1];
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++unit;
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      return std::nullopt;
    }
    if (code < 0x80) {
      path.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      path.push_back(static_cast<char>(0xC0 | (code >> 6)));
      path.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      path.push_back(static_cast<char>(0xE0 | (code >> 12)));
      path.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      path.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      path.push_back(static_cast<char>(0xF0 | (code >> 18)));
      path.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      path.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      path.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return path;
}

}  // namespace wmvcore
