// The driver of a fuzz target outside the fuzz build: runs LLVMFuzzerTestOneInput once for each
// file named, or each file of each directory named, the way libFuzzer runs a saved input. A
// path that does not exist is passed over, so a target without regressions yet still replays
// its seeds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsAt(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) return {path};
  std::vector<std::filesystem::path> inputs;
  if (!std::filesystem::is_directory(path, error)) return inputs;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    // Notes beside the inputs (README.md) are not inputs.
    if (entry.is_regular_file() && entry.path().extension() != ".md")
      inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& input : InputsAt(argv[i])) {
      std::ifstream file(input, std::ios::binary);
      const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                            std::istreambuf_iterator<char>()};
      if (!file.good() && !file.eof()) {
        std::fprintf(stderr, "cannot read %s\n", input.c_str());
        return 1;
      }
      std::printf("replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return 0;
}
