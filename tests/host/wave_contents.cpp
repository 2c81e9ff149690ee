#include "wave_contents.h"

#include "wave_reader.h"

std::vector<std::int16_t> ReadPcm16(const std::string& path) {
  WaveReader reader;
  std::string error;
  if (!reader.Open(path, error) || reader.format().bitsPerSample != 16) return {};
  std::vector<std::int16_t> samples(reader.dataBytes() / 2);
  reader.Read(reinterpret_cast<std::uint8_t*>(samples.data()), samples.size() * 2);
  return samples;
}

std::vector<WaveTag> ReadWaveTags(const std::string& path) {
  WaveReader reader;
  std::string error;
  if (!reader.Open(path, error)) return {};
  return reader.tags();
}
