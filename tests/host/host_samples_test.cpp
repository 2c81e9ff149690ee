// Conversions between WAVE sample formats and the host's float format.
#include <gtest/gtest.h>

#include <cstring>

#include "host_samples.h"

namespace {

TEST(HostSamples, WidthFollowsTheWaveFormat) {
  EXPECT_EQ(HostWidthFor({SampleEncoding::kPcm, 2, 44100, 8}), 8);
  EXPECT_EQ(HostWidthFor({SampleEncoding::kPcm, 2, 44100, 16}), 16);
  EXPECT_EQ(HostWidthFor({SampleEncoding::kPcm, 2, 44100, 24}), 32);
  EXPECT_EQ(HostWidthFor({SampleEncoding::kPcm, 2, 44100, 32}), 32);
  EXPECT_EQ(HostWidthFor({SampleEncoding::kFloat, 2, 44100, 32}), 32);
}

TEST(HostSamples, WiderSamplesBecomeFloatsOnTheSixteenBitScale) {
  const std::uint8_t pcm24[] = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x01, 0x00};
  float host[3];
  WaveToHostFloats(pcm24, {SampleEncoding::kPcm, 1, 8000, 24}, 3, host);
  EXPECT_EQ(host[0], -32768.0f);
  EXPECT_EQ(host[1], 32767.99609375f);
  EXPECT_EQ(host[2], 1.0f);

  const std::int32_t pcm32[] = {INT32_MIN, 65536};
  WaveToHostFloats(reinterpret_cast<const std::uint8_t*>(pcm32),
                   {SampleEncoding::kPcm, 1, 8000, 32}, 2, host);
  EXPECT_EQ(host[0], -32768.0f);
  EXPECT_EQ(host[1], 1.0f);

  const float f32[] = {-1.0f, 0.5f};
  WaveToHostFloats(reinterpret_cast<const std::uint8_t*>(f32),
                   {SampleEncoding::kFloat, 1, 8000, 32}, 2, host);
  EXPECT_EQ(host[0], -32768.0f);
  EXPECT_EQ(host[1], 16384.0f);

  const double f64[] = {0.25};
  WaveToHostFloats(reinterpret_cast<const std::uint8_t*>(f64),
                   {SampleEncoding::kFloat, 1, 8000, 64}, 1, host);
  EXPECT_EQ(host[0], 8192.0f);
}

TEST(HostSamples, HostFloatsBecomeWaveFloatsOrPacked24) {
  float samples[] = {-32768.0f, 32767.99609375f, 1.0f, -0.00390625f, 1e9f};
  std::uint8_t packed[15];
  HostFloatsToPcm24(samples, 5, packed);
  const std::uint8_t expected[15] = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x01,
                                     0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(std::memcmp(packed, expected, sizeof(expected)), 0);

  HostFloatsToWaveFloats(samples, 3);
  EXPECT_EQ(samples[0], -1.0f);
  EXPECT_EQ(samples[2], 1.0f / 32768.0f);
}

}  // namespace
