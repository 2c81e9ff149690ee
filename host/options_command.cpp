// filterhost options: the filter's encoder options dialog.
#include <cstdio>

#include "commands.h"
#include "display_text.h"

int RunOptions(const FilterLibrary& library, DWORD options) {
  const DWORD chosen =
      library.exports().filterGetOptions(nullptr, library.module(), 0, 0, 0, options);
  std::printf("%s\n", HexWord(chosen).c_str());
  return 0;
}
