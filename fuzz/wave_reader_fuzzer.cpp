// Arbitrary bytes as a WAVE file through the host program's reader: it must refuse or read
// them without crashing, reading no more sample data than it announced.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "wave_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFile file("wave_reader_fuzzer", ".wav");
  if (!file.Write(data, size)) return 0;

  WaveReader reader;
  std::string error;
  if (reader.Open(file.path(), error)) {
    std::vector<std::uint8_t> buffer(4096);
    std::uint64_t total = 0;
    while (const std::size_t got = reader.Read(buffer.data(), buffer.size())) total += got;
    fuzz::Require(total <= reader.dataBytes(), "no more sample data than announced is read");
    fuzz::Require(reader.tags().size() <= size, "no tag comes from nothing");
    for (const WaveTag& tag : reader.tags()) TagText(tag);
  } else {
    fuzz::Require(!error.empty(), "a refusal gives its reason");
  }
  return 0;
}
