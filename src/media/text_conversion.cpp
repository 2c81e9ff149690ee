#include "media/text_conversion.h"

#include <cstring>
#include <utility>

#include "common/wide_text.h"

namespace {

constexpr WCHAR kCarriageReturn = 0x000D;
constexpr WCHAR kLineFeed = 0x000A;

bool IsLineBreak(WCHAR unit) { return unit == kCarriageReturn || unit == kLineFeed; }

// Turns each CR LF pair into a single CR, in place. The scan resumes after the CR, so a pair
// followed by a lone LF stays two breaks. Returns the new length.
std::size_t CollapsePairs(WCHAR* text) {
  std::size_t read = 0;
  std::size_t write = 0;
  while (text[read] != 0) {
    const WCHAR unit = text[read++];
    text[write++] = unit;
    if (unit == kCarriageReturn && text[read] == kLineFeed) ++read;
  }
  text[write] = 0;
  return write;
}

}  // namespace

BOOL AnsiToWideText(LPCSTR text, HeapBuffer<WCHAR>& wide) {
  const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
  if (units == 0) return FALSE;
  wide = HeapBuffer<WCHAR>(2 * static_cast<std::size_t>(units));
  if (!wide) return FALSE;
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide.get(), units);
  return TRUE;
}

BOOL WideToAnsiText(const WCHAR* text, HeapBuffer<char>& ansi) {
  const std::size_t length = WideLength(text);
  HeapBuffer<WCHAR> copy(2 * length + 2);
  if (!copy) return FALSE;
  std::memcpy(copy.get(), text, 2 * length + 2);
  NormalizeLineBreaks(copy);

  const int bytes = WideCharToMultiByte(CP_ACP, 0, copy.get(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) return FALSE;
  ansi = HeapBuffer<char>(static_cast<std::size_t>(bytes));
  if (!ansi) return FALSE;
  WideCharToMultiByte(CP_ACP, 0, copy.get(), -1, ansi.get(), bytes, nullptr, nullptr);
  return TRUE;
}

void NormalizeLineBreaks(HeapBuffer<WCHAR>& text) {
  const std::size_t length = CollapsePairs(text.get());

  std::size_t breaks = 0;
  for (std::size_t i = 0; i < length; ++i) breaks += IsLineBreak(text[i]) ? 1 : 0;
  if (breaks == 0) return;

  HeapBuffer<WCHAR> expanded(2 * (length + breaks + 1));
  if (!expanded) return;
  std::size_t write = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (IsLineBreak(text[i])) {
      expanded[write++] = kCarriageReturn;
      expanded[write++] = kLineFeed;
    } else {
      expanded[write++] = text[i];
    }
  }
  expanded[write] = 0;
  text = std::move(expanded);
}
