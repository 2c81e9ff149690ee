#include "bench_support.h"

namespace bench {
namespace {

// A small linear congruential generator: the same signal on every run.
class Noise {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 32);
  }

 private:
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

}  // namespace

std::vector<std::uint8_t> Packed24Noise(std::size_t count) {
  Noise noise;
  std::vector<std::uint8_t> bytes(3 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t value = noise.Next();
    bytes[3 * i] = static_cast<std::uint8_t>(value);
    bytes[3 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    bytes[3 * i + 2] = static_cast<std::uint8_t>(value >> 16);
  }
  return bytes;
}

std::vector<float> HostFloatNoise(std::size_t count) {
  Noise noise;
  std::vector<float> samples(count);
  for (float& sample : samples) {
    sample = static_cast<float>(static_cast<std::int32_t>(noise.Next())) / 65536.0f;
  }
  return samples;
}

}  // namespace bench
