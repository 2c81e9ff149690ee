// Arbitrary bytes as a file given to the filter, read the way the editor reads a file it is
// handed: the probe, the open, the size estimate, the codec text, every tag, then the audio in
// chunks until a short count. The filter and the stand-in runtime (which parses the ASF header
// itself) run in this process, so the sanitizers watch both. Besides not crashing, the filter
// keeps its promises: the probe and the open agree, a failed open writes none of its targets,
// nothing is written outside the host's buffers, and nothing is left allocated or alive.
#include <cstdint>
#include <cstring>
#include <memory>

#include "filter/filter_api.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;

constexpr LONG kUntouchedRate = -7;
constexpr WORD kUntouchedWord = 0xBEEF;
constexpr std::size_t kCodecTextBytes = 128;
// Enough for a few seconds of any audio: past that, more decoding finds nothing new.
constexpr std::uint64_t kMostBytesRead = 16u << 20;

void ReadCodecText(FilterHandle input) {
  // Exactly the host's 128 bytes, so that the sanitizer sees any write past them.
  auto text = std::make_unique<char[]>(kCodecTextBytes);
  std::memset(text.get(), 0x5A, kCodecTextBytes);
  Require(FilterOptionsString(input, text.get()) == 0, "FilterOptionsString returns 0");
  const bool untouched = text[0] == 0x5A && text[1] == 0x5A;
  Require(untouched || std::memchr(text.get(), 0, kCodecTextBytes) != nullptr,
          "the codec text ends within 128 bytes");
}

void ReadTags(FilterHandle input) {
  SpecialDataItem item{};
  for (LONG produced = FilterGetFirstSpecialData(input, &item); produced;
       produced = FilterGetNextSpecialData(input, &item)) {
    Require(item.hData != nullptr, "an item comes with its data");
    const SIZE_T blockBytes = GlobalSize(item.hData);
    const auto* block = static_cast<const BYTE*>(GlobalLock(item.hData));
    Require(block != nullptr && blockBytes == item.dwDataSize + 1, "the block is the item's size");
    const bool display = std::strcmp(item.szListType, "WAVE") == 0;
    Require(display || std::strcmp(item.szListType, "INFO") == 0, "the list type is known");
    const std::size_t textStart = display ? 4 : 0;
    Require(item.dwDataSize > textStart && block[item.dwDataSize - 1] == 0,
            "the text ends with its NUL within the data size");
    Require(std::strlen(reinterpret_cast<const char*>(block + textStart)) ==
                item.dwDataSize - 1 - textStart,
            "the data size counts the text and its NUL");
    GlobalUnlock(item.hData);
    GlobalFree(item.hData);
    item.hData = nullptr;
  }
}

void ReadAudio(FilterHandle input, WORD bitsPerSample) {
  // A heap buffer of exactly the chunk size, so that the sanitizer sees any write past it.
  auto buffer = std::make_unique<BYTE[]>(kFilterChunkSize);
  const LONG chunk = static_cast<LONG>(kFilterChunkSize);
  // An odd count first: 16-bit audio then resumes inside a sample, floats round down.
  const LONG first = ReadFilterInput(input, buffer.get(), 1001);
  Require(first >= 0 && first <= 1001, "a read delivers at most what was asked");
  Require(bitsPerSample != 32 || first % 4 == 0, "floats are delivered whole");
  std::uint64_t total = static_cast<std::uint64_t>(first);
  while (total < kMostBytesRead) {
    const LONG got = ReadFilterInput(input, buffer.get(), chunk);
    Require(got >= 0 && got <= chunk, "a read delivers at most what was asked");
    Require(bitsPerSample != 32 || got % 4 == 0, "floats are delivered whole");
    total += static_cast<std::uint64_t>(got);
    if (got < chunk) break;
  }
}

void ReadThroughFilter(const char* path) {
  const LONG understood = FilterUnderstandsFormat(path);
  Require(understood == 0 || understood == 1, "the probe answers 1 or 0");

  LONG sampleRate = kUntouchedRate;
  WORD bitsPerSample = kUntouchedWord;
  WORD channels = kUntouchedWord;
  LONG chunkSize = kUntouchedRate;
  const FilterHandle input =
      OpenFilterInput(path, &sampleRate, &bitsPerSample, &channels, 0, &chunkSize);
  Require((input != nullptr) == (understood == 1), "the probe and the open agree");
  if (input == nullptr) {
    Require(sampleRate == kUntouchedRate && bitsPerSample == kUntouchedWord &&
                channels == kUntouchedWord && chunkSize == kUntouchedRate,
            "a failed open writes none of its targets");
    return;
  }
  Require(sampleRate > 0 && channels > 0, "an open file has a rate and channels");
  Require(bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 32,
          "an open file has a width the host takes");
  Require(chunkSize == static_cast<LONG>(kFilterChunkSize), "the chunk size is announced");
  Require(FilterOptions(input) == 0, "an input handle has no options word");

  FilterGetFileSize(input);
  ReadCodecText(input);
  ReadTags(input);
  ReadAudio(input, bitsPerSample);
  // The description stays readable after the audio, as the host may ask at any time.
  FilterGetFileSize(input);
  ReadTags(input);
  CloseFilterInput(input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFile file("filter_input_fuzzer", ".wma");
  if (!file.Write(data, size)) return 0;
  const fuzz::PlatformBalance before;
  ReadThroughFilter(file.path().c_str());
  before.RequireUnchanged();
  return 0;
}
