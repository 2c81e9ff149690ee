#include "host_samples.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kHostFullScale = 32768.0f;

std::int32_t Signed24(const std::uint8_t* bytes) {
  const std::uint32_t raw = static_cast<std::uint32_t>(bytes[0]) << 8 |
                            static_cast<std::uint32_t>(bytes[1]) << 16 |
                            static_cast<std::uint32_t>(bytes[2]) << 24;
  return static_cast<std::int32_t>(raw) >> 8;
}

}  // namespace

std::uint16_t HostWidthFor(const WaveFormat& format) {
  const bool narrowPcm = format.encoding == SampleEncoding::kPcm && format.bitsPerSample <= 16;
  return narrowPcm ? format.bitsPerSample : 32;
}

void WaveToHostFloats(const std::uint8_t* wave, const WaveFormat& format, std::size_t count,
                      float* host) {
  const std::size_t width = format.bitsPerSample / 8u;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* sample = wave + i * width;
    if (format.encoding == SampleEncoding::kFloat && width == 4) {
      float value;
      std::memcpy(&value, sample, sizeof(value));
      host[i] = value * kHostFullScale;
    } else if (format.encoding == SampleEncoding::kFloat) {
      double value;
      std::memcpy(&value, sample, sizeof(value));
      host[i] = static_cast<float>(value * kHostFullScale);
    } else if (width == 3) {
      host[i] = static_cast<float>(Signed24(sample)) / 256.0f;
    } else {
      std::int32_t value;
      std::memcpy(&value, sample, sizeof(value));
      host[i] = static_cast<float>(value) / 65536.0f;
    }
  }
}

void HostFloatsToWaveFloats(float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) samples[i] /= kHostFullScale;
}

void HostFloatsToPcm24(const float* samples, std::size_t count, std::uint8_t* packed) {
  for (std::size_t i = 0; i < count; ++i) {
    float scaled = std::nearbyint(samples[i] * 256.0f);
    if (!(scaled == scaled)) scaled = 0.0f;
    if (scaled > 8388607.0f) scaled = 8388607.0f;
    if (scaled < -8388608.0f) scaled = -8388608.0f;
    const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled));
    packed[3 * i] = static_cast<std::uint8_t>(value);
    packed[3 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    packed[3 * i + 2] = static_cast<std::uint8_t>(value >> 16);
  }
}
