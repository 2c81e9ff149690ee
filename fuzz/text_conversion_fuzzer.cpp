// UTF-16 text from arbitrary bytes through the tag text conversions. Besides the sanitizers'
// checks, it holds the conversions to their promises: every line break comes out as one CR LF
// pair, normalising twice changes nothing, and nothing is left allocated.
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/wide_text.h"
#include "fuzz_support.h"
#include "media/text_conversion.h"

namespace {

using fuzz::Require;

bool EveryBreakIsAPair(const WCHAR* text) {
  for (std::size_t i = 0; text[i] != 0; ++i) {
    if (text[i] == u'\r' && text[i + 1] != u'\n') return false;
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) return false;
  }
  return true;
}

HeapBuffer<WCHAR> Copy(const WCHAR* text) {
  const std::size_t bytes = 2 * (WideLength(text) + 1);
  HeapBuffer<WCHAR> copy(bytes);
  std::memcpy(copy.get(), text, bytes);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::PlatformBalance before;
  {
    std::vector<WCHAR> text(size / 2 + 1);
    std::memcpy(text.data(), data, size / 2 * 2);

    HeapBuffer<WCHAR> normalized = Copy(text.data());
    NormalizeLineBreaks(normalized);
    Require(EveryBreakIsAPair(normalized.get()), "every line break is one CR LF pair");
    HeapBuffer<WCHAR> again = Copy(normalized.get());
    NormalizeLineBreaks(again);
    Require(WideLength(again.get()) == WideLength(normalized.get()) &&
                std::memcmp(again.get(), normalized.get(), 2 * WideLength(again.get())) == 0,
            "normalising twice changes nothing");

    HeapBuffer<char> ansi;
    Require(WideToAnsiText(text.data(), ansi) == 1, "any UTF-16 text converts to host text");

    std::vector<char> bytes(data, data + size);
    bytes.push_back(0);
    HeapBuffer<WCHAR> wide;
    Require(AnsiToWideText(bytes.data(), wide) == 1, "any host text converts to UTF-16");
    Require(WideLength(wide.get()) == std::strlen(bytes.data()), "one unit for each byte");
  }
  before.RequireUnchanged();
  return 0;
}
