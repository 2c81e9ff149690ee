// Arbitrary bytes as a WAVE file through the host program's reader: it must refuse or read
// them without crashing, reading no more sample data than it announced.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wave_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/dev/shm/wave_reader_fuzzer." + std::to_string(getpid());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  WaveReader reader;
  std::string error;
  if (reader.Open(path, error)) {
    std::vector<std::uint8_t> buffer(4096);
    std::uint64_t total = 0;
    while (const std::size_t got = reader.Read(buffer.data(), buffer.size())) total += got;
    if (total > reader.dataBytes() || reader.tags().size() > size) __builtin_trap();
    for (const WaveTag& tag : reader.tags()) TagText(tag);
  }
  return 0;
}
