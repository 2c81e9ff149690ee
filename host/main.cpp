// filterhost: drives the filter library through its exports, as the editor does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter_library.h"

namespace {

int PrintRegistration(const FilterLibrary& library) {
  auto queryVivaFilter = FIND_FILTER_EXPORT(library, QueryVivaFilter);
  if (queryVivaFilter == nullptr) {
    std::fprintf(stderr, "filterhost: the library does not export QueryVivaFilter\n");
    return 1;
  }
  FilterQueryRecord record;
  const WORD result = queryVivaFilter(&record);
  std::printf("name:       %.24s\n", record.name);
  std::printf("notice:     %.80s\n", record.notice);
  std::printf("extension:  %.4s\n", record.defaultExtension);
  std::printf("flags:      0x%08x\n", static_cast<unsigned>(record.flags));
  std::printf("chunk size: %u\n", static_cast<unsigned>(record.chunkSize));
  std::printf("result:     %u\n", static_cast<unsigned>(result));
  return 0;
}

// Shows the options dialog for the word given (0, the default, when none) and prints the word
// that comes back.
int ChooseOptions(const FilterLibrary& library, const std::vector<std::string>& arguments) {
  auto filterGetOptions = FIND_FILTER_EXPORT(library, FilterGetOptions);
  if (filterGetOptions == nullptr) {
    std::fprintf(stderr, "filterhost: the library does not export FilterGetOptions\n");
    return 1;
  }
  DWORD options = 0;
  if (!arguments.empty()) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(arguments[0].c_str(), &end, 0);
    if (*end != '\0' || value > 0xFFFFFFFFul) {
      std::fprintf(stderr, "filterhost: %s is not a 32-bit options word\n", arguments[0].c_str());
      return 2;
    }
    options = static_cast<DWORD>(value);
  }
  const DWORD chosen = filterGetOptions(nullptr, library.module(), 0, 0, 0, options);
  std::printf("options:    0x%08x (%s, codec %u, format %u)\n", static_cast<unsigned>(chosen),
              (chosen & 0x80000000u) ? "VBR" : "CBR", static_cast<unsigned>(chosen >> 16 & 0xFF),
              static_cast<unsigned>(chosen & 0xFFFF));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string filterPath = WMAFILTER_DEFAULT_FILTER;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--filter") == 0 && i + 1 < argc) {
      filterPath = argv[++i];
    } else {
      words.emplace_back(argv[i]);
    }
  }
  const std::string command = words.empty() ? std::string() : words.front();
  const std::vector<std::string> arguments(words.begin() + (words.empty() ? 0 : 1), words.end());
  const bool known = (command == "registration" && arguments.empty()) ||
                     (command == "options" && arguments.size() <= 1);
  if (!known) {
    std::fprintf(stderr,
                 "usage: filterhost [--filter PATH] registration\n"
                 "       filterhost [--filter PATH] options [WORD]\n");
    return 2;
  }
  FilterLibrary library;
  std::string error;
  if (!library.Load(filterPath, error)) {
    std::fprintf(stderr, "filterhost: %s\n", error.c_str());
    return 1;
  }
  return command == "options" ? ChooseOptions(library, arguments) : PrintRegistration(library);
}
