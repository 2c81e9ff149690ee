// filterhost formats: every format that the options dialog offers over the runtime the filter
// loaded, with the options word that chooses it.
#include <algorithm>
#include <cstdio>

#include "commands.h"
#include "display_text.h"
#include "runtime_formats.h"

namespace {

void PrintJson(const std::vector<RuntimeFormat>& formats, DWORD defaultWord) {
  std::printf("[");
  for (std::size_t i = 0; i < formats.size(); ++i) {
    const RuntimeFormat& f = formats[i];
    std::printf("%s\n  {\"word\": %lu, \"wordHex\": \"%s\", \"mode\": \"%s\", ", i ? "," : "",
                static_cast<unsigned long>(f.word), HexWord(f.word).c_str(),
                RateModeName(f.variableBitRate));
    const std::string shortName =
        f.codecShortName.empty() ? std::string("null") : JsonString(f.codecShortName);
    std::printf("\"codecIndex\": %lu, \"codecName\": %s, \"codecShortName\": %s, ",
                static_cast<unsigned long>(f.codecIndex), JsonString(f.codecName).c_str(),
                shortName.c_str());
    std::printf("\"formatIndex\": %lu, ", static_cast<unsigned long>(f.formatIndex));
    std::printf("\"description\": %s, \"formatTag\": %u, \"sampleRate\": %lu, \"channels\": %u, ",
                JsonString(f.description).c_str(), unsigned{f.formatTag},
                static_cast<unsigned long>(f.sampleRate), unsigned{f.channels});
    // A format without an average (some variable-rate ones) reports 0 bytes a second.
    const std::string average = f.averageBytesPerSecond != 0
                                    ? std::to_string(8ull * f.averageBytesPerSecond)
                                    : std::string("null");
    std::printf("\"bitsPerSample\": %u, \"averageBitRate\": %s, \"default\": %s}",
                unsigned{f.bitsPerSample}, average.c_str(),
                f.word == defaultWord ? "true" : "false");
  }
  std::printf("%s]\n", formats.empty() ? "" : "\n");
}

// The short name that --codec takes, or "-" for a codec without one.
std::string ShortNameColumn(const RuntimeFormat& format) {
  return format.codecShortName.empty() ? "-" : format.codecShortName;
}

// One line a format, the short and the whole codec names each padded to one width so that the
// columns line up.
void PrintText(const std::vector<RuntimeFormat>& formats, DWORD defaultWord) {
  std::size_t shortWidth = 0;
  std::size_t nameWidth = 0;
  for (const RuntimeFormat& f : formats) {
    shortWidth = std::max(shortWidth, ShortNameColumn(f).size());
    nameWidth = std::max(nameWidth, f.codecName.size());
  }
  for (const RuntimeFormat& f : formats) {
    std::printf("%s  %s  %-*s  %-*s  %s%s\n", HexWord(f.word).c_str(),
                RateModeName(f.variableBitRate), static_cast<int>(shortWidth),
                ShortNameColumn(f).c_str(), static_cast<int>(nameWidth),
                OneLine(f.codecName).c_str(), OneLine(f.description).c_str(),
                f.word == defaultWord ? "  (default)" : "");
  }
}

}  // namespace

int RunFormats(bool json) {
  RuntimeCodecs codecs;
  std::string error;
  if (!codecs.Open(error)) return ReportError(error);
  const std::vector<RuntimeFormat> formats = codecs.OfferedFormats();
  const DWORD defaultWord = DefaultWordOf(formats);
  if (json) {
    PrintJson(formats, defaultWord);
  } else {
    PrintText(formats, defaultWord);
  }
  return 0;
}
