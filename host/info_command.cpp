// filterhost info: what the filter tells the editor about a file.
#include <cstdio>

#include "commands.h"
#include "display_text.h"
#include "filter_files.h"
#include "path_checks.h"
#include "refusal_reason.h"

namespace {

struct FileFacts {
  bool understood = false;
  LONG sampleRate = 0;
  WORD bitsPerSample = 0;
  WORD channels = 0;
  LONG chunkSize = 0;
  ULONGLONG fileSize = 0;
  std::string codecText;
  DWORD options = 0;
  std::vector<WaveTag> tags;
};

std::string RecordText(const char* field, std::size_t size) {
  return AnsiToUtf8(std::string(field, strnlen(field, size)));
}

void PrintJson(const FileFacts& facts, const FilterQueryRecord& record) {
  std::printf("{\n  \"understood\": %s", facts.understood ? "true" : "false");
  if (facts.understood) {
    std::printf(",\n  \"sampleRate\": %ld,\n  \"bitsPerSample\": %u,\n  \"channels\": %u",
                static_cast<long>(facts.sampleRate), unsigned{facts.bitsPerSample},
                unsigned{facts.channels});
    std::printf(",\n  \"chunkSize\": %ld,\n  \"fileSize\": %llu",
                static_cast<long>(facts.chunkSize),
                static_cast<unsigned long long>(facts.fileSize));
    std::printf(",\n  \"codecText\": %s,\n  \"options\": %lu",
                JsonString(AnsiToUtf8(facts.codecText)).c_str(),
                static_cast<unsigned long>(facts.options));
    std::printf(",\n  \"tags\": [");
    for (std::size_t i = 0; i < facts.tags.size(); ++i) {
      const WaveTag& tag = facts.tags[i];
      std::printf("%s\n    {\"listType\": %s, \"chunkId\": %s, \"text\": %s}", i ? "," : "",
                  JsonString(tag.listType).c_str(), JsonString(tag.chunkId).c_str(),
                  JsonString(AnsiToUtf8(TagText(tag))).c_str());
    }
    std::printf("%s]", facts.tags.empty() ? "" : "\n  ");
  }
  std::printf(
      ",\n  \"registration\": {\"name\": %s, \"notice\": %s, \"defaultExtension\": %s, ",
      JsonString(RecordText(record.name, sizeof(record.name))).c_str(),
      JsonString(RecordText(record.notice, sizeof(record.notice))).c_str(),
      JsonString(RecordText(record.defaultExtension, sizeof(record.defaultExtension))).c_str());
  std::printf("\"flags\": %lu, \"chunkSize\": %lu}\n}\n", static_cast<unsigned long>(record.flags),
              static_cast<unsigned long>(record.chunkSize));
}

void PrintText(const std::string& path, const FileFacts& facts, const FilterQueryRecord& record) {
  std::printf("file:           %s\n", path.c_str());
  std::printf("understood:     %s\n", facts.understood ? "yes" : "no");
  if (facts.understood) {
    std::printf("sample rate:    %ld Hz\n", static_cast<long>(facts.sampleRate));
    std::printf("bits/sample:    %u%s\n", unsigned{facts.bitsPerSample},
                facts.bitsPerSample == 32 ? " (float)" : "");
    std::printf("channels:       %u\n", unsigned{facts.channels});
    std::printf("chunk size:     %ld bytes\n", static_cast<long>(facts.chunkSize));
    std::printf("size estimate:  %llu bytes\n", static_cast<unsigned long long>(facts.fileSize));
    std::string codec = AnsiToUtf8(facts.codecText);
    for (char& c : codec) c = c == '\n' ? '/' : c;
    std::printf("codec:          %s\n", codec.empty() ? "(not reported)" : codec.c_str());
    std::printf("options:        %s\n", HexWord(facts.options).c_str());
    std::printf("tags:           %s\n", facts.tags.empty() ? "none" : "");
    for (const WaveTag& tag : facts.tags) {
      std::printf("  %-4s %-4s  %s\n", tag.listType.c_str(), tag.chunkId.c_str(),
                  JsonString(AnsiToUtf8(TagText(tag))).c_str());
    }
  }
  std::printf("filter:         %s (.%s), flags %s, chunk size %lu\n",
              RecordText(record.name, sizeof(record.name)).c_str(),
              RecordText(record.defaultExtension, sizeof(record.defaultExtension)).c_str(),
              HexWord(record.flags).c_str(), static_cast<unsigned long>(record.chunkSize));
}

}  // namespace

int RunInfo(const FilterLibrary& library, const std::string& path, bool json) {
  std::string error;
  if (!CheckReadableFile(path, error)) return ReportError(error);
  const FilterExports& exports = library.exports();

  FileFacts facts;
  facts.understood = exports.filterUnderstandsFormat(path.c_str()) != 0;
  FilterInput input(exports);
  if (facts.understood && input.Open(path)) {
    facts.sampleRate = input.sampleRate();
    facts.bitsPerSample = input.bitsPerSample();
    facts.channels = input.channels();
    facts.chunkSize = input.chunkSize();
    facts.fileSize = exports.filterGetFileSize(input.handle());
    facts.codecText = input.CodecText();
    facts.options = exports.filterOptions(input.handle());
    facts.tags = input.ReadTags();
  } else {
    facts.understood = false;
  }

  if (json) {
    PrintJson(facts, library.registration());
  } else {
    PrintText(path, facts, library.registration());
  }
  return facts.understood ? 0 : ReportError(RefusedFileMessage(path));
}
