// filterhost options: the filter's encoder options dialog.
#include <cstdio>

#include "commands.h"

int RunOptions(const FilterLibrary& library, DWORD options) {
  const DWORD chosen =
      library.exports().filterGetOptions(nullptr, library.module(), 0, 0, 0, options);
  std::printf("0x%08x\n", static_cast<unsigned>(chosen));
  return 0;
}
