// options_dialog_driver WORD RESULT-FILE: runs FilterGetOptions on the word over the test
// catalogue, at the terminal when there is one, and writes the word that comes back to
// RESULT-FILE, for the terminal test (terminal_dialog_test.sh).
#include <cstdio>
#include <cstdlib>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "options/options_catalogue.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: options_dialog_driver WORD RESULT-FILE\n");
    return 2;
  }
  const auto incoming = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 0));
  DWORD chosen = 0;
  {
    runtime_double::RuntimeDouble runtime;
    runtime.codecs = OptionsCatalogue();
    chosen = FilterGetOptions(nullptr, GetModuleHandleA(nullptr), 0, 0, 0, incoming);
  }
  std::FILE* result = std::fopen(argv[2], "w");
  if (result == nullptr) return 1;
  std::fprintf(result, "0x%08x\n", static_cast<unsigned>(chosen));
  return std::fclose(result) == 0 ? 0 : 1;
}
