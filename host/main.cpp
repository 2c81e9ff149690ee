// filterhost: drives the filter library through its exports, as the editor does.
#include <cstdio>
#include <cstring>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  std::string filterPath = WMAFILTER_DEFAULT_FILTER;
  std::string command;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--filter") == 0 && i + 1 < argc) {
      filterPath = argv[++i];
    } else {
      command = argv[i];
    }
  }
  if (command != "registration") {
    std::fprintf(stderr, "usage: filterhost [--filter PATH] registration\n");
    return 2;
  }
  FilterLibrary library;
  std::string error;
  if (!library.Load(filterPath, error)) {
    std::fprintf(stderr, "filterhost: %s\n", error.c_str());
    return 1;
  }
  return PrintRegistration(library);
}
