// WriteFilterOutput: the start of writing, the float conversion in the host's buffer, one
// writer sample per buffer, and the running time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "encode/encode_support.h"

namespace encode_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// An output file opened on the double, closed at the end of the test.
class WriteOutputTest : public LeakCheckedTest {
 protected:
  void Open(WORD bits, WORD channels = 2, LONG rate = 44100) {
    ScriptCatalogue(runtime);
    OutputOpen open{0x00010003, rate, bits, channels};
    handle = open.Run();
    ASSERT_NE(handle, nullptr);
  }
  void TearDown() override {
    CloseFilterOutput(handle);
    LeakCheckedTest::TearDown();
  }
  LONG Write(std::vector<BYTE>& bytes) {
    return WriteFilterOutput(handle, bytes.data(), static_cast<LONG>(bytes.size()));
  }
  std::vector<QWORD> Stamps() const {
    std::vector<QWORD> stamps;
    for (const auto& sample : runtime.log().samplesWritten) stamps.push_back(sample.time);
    return stamps;
  }

  RuntimeDouble runtime;
  FilterHandle handle = nullptr;
};

std::vector<BYTE> FloatBytes(const std::vector<float>& values) {
  std::vector<BYTE> bytes(4 * values.size());
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

struct Conversion {
  float sample;
  BYTE packed[3];  // in order of storage
};

constexpr float kInfinity = std::numeric_limits<float>::infinity();

const Conversion kConversions[] = {
    {32768.0f, {0xFF, 0xFF, 0x7F}},
    {-32768.0f, {0x00, 0x00, 0x80}},  // the lowest 24-bit sample, kept
    {-32768.00390625f, {0x00, 0x00, 0x80}},
    {1.0f, {0x00, 0x01, 0x00}},
    {-1.0f, {0x00, 0xFF, 0xFF}},
    {0.5f, {0x80, 0x00, 0x00}},
    {0.001f, {0x00, 0x00, 0x00}},
    {-0.001f, {0x00, 0x00, 0x00}},
    {-1.5f / 256, {0xFF, 0xFF, 0xFF}},       // toward zero
    {32767.998046875f, {0xFF, 0xFF, 0x7F}},  // 8388607.5 truncates to the limit itself
    {-32767.998046875f, {0x01, 0x00, 0x80}},
    {1e9f, {0xFF, 0xFF, 0x7F}},
    {-1e9f, {0x00, 0x00, 0x80}},
    {kInfinity, {0xFF, 0xFF, 0x7F}},
    {-kInfinity, {0x00, 0x00, 0x80}},
    {std::nanf(""), {0x00, 0x00, 0x00}},
    {-std::nanf(""), {0x00, 0x00, 0x00}},
};

TEST_F(WriteOutputTest, PacksFloatsInPlaceTo24BitsWithTruncationAndLimits) {
  Open(32);
  std::vector<float> samples;
  std::vector<BYTE> expected;
  for (const Conversion& row : kConversions) {
    samples.push_back(row.sample);
    expected.insert(expected.end(), row.packed, row.packed + 3);
  }
  std::vector<BYTE> buffer = FloatBytes(samples);
  const std::vector<BYTE> tail(buffer.begin() + expected.size(), buffer.end());

  ASSERT_EQ(Write(buffer), static_cast<LONG>(buffer.size()));
  ASSERT_EQ(runtime.log().samplesWritten.size(), 1u);
  const std::vector<BYTE>& written = runtime.log().samplesWritten[0].bytes;
  ASSERT_EQ(written.size(), expected.size());
  for (std::size_t i = 0; i < std::size(kConversions); ++i) {
    SCOPED_TRACE(::testing::Message() << "sample " << kConversions[i].sample);
    EXPECT_THAT(std::vector<BYTE>(written.begin() + 3 * i, written.begin() + 3 * i + 3),
                ElementsAreArray(kConversions[i].packed));
  }
  // The host's buffer holds the packed samples, then what was left of its floats.
  EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + expected.size()), expected);
  EXPECT_EQ(std::vector<BYTE>(buffer.begin() + expected.size(), buffer.end()), tail);
}

// Long buffers are converted in blocks with a remainder one sample at a time; every row of the
// table gives the same bytes at every position of a block and in the remainder.
TEST_F(WriteOutputTest, PacksTheSameAtEveryPositionOfALongBuffer) {
  Open(32);
  constexpr std::size_t kSamples = 53;
  std::vector<float> samples;
  std::vector<BYTE> expected;
  for (std::size_t i = 0; i < kSamples; ++i) {
    const Conversion& row = kConversions[i * 7 % std::size(kConversions)];
    samples.push_back(row.sample);
    expected.insert(expected.end(), row.packed, row.packed + 3);
  }
  std::vector<BYTE> buffer = FloatBytes(samples);
  ASSERT_EQ(Write(buffer), static_cast<LONG>(buffer.size()));
  EXPECT_EQ(runtime.log().samplesWritten.at(0).bytes, expected);
}

TEST_F(WriteOutputTest, IgnoresTheBytesShortOfAWholeFloat) {
  Open(32);
  std::vector<BYTE> buffer = FloatBytes({1.0f, -1.0f});
  buffer.insert(buffer.end(), {0x11, 0x22});
  ASSERT_EQ(Write(buffer), 10);
  EXPECT_THAT(runtime.callsTo("Writer.AllocateSample"), ElementsAre("Writer.AllocateSample(6)"));
  EXPECT_THAT(runtime.log().samplesWritten.at(0).bytes,
              ElementsAre(0x00, 0x01, 0x00, 0x00, 0xFF, 0xFF));

  // Fewer than four bytes: an empty sample at the same time, and the count as passed.
  std::vector<BYTE> three = {1, 2, 3};
  ASSERT_EQ(Write(three), 3);
  EXPECT_THAT(three, ElementsAre(1, 2, 3));
  EXPECT_THAT(runtime.log().samplesWritten.at(1).bytes, IsEmpty());
  ASSERT_EQ(Write(buffer), 10);
  EXPECT_THAT(Stamps(), ElementsAre(0u, 226u, 226u));  // 6 bytes at 264600 per second
}

TEST_F(WriteOutputTest, PassesIntegerSamplesThroughUnchanged) {
  for (const WORD bits : {8, 16}) {
    SCOPED_TRACE(bits);
    Open(bits);
    std::vector<BYTE> buffer = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0xFE, 0x55};
    const std::vector<BYTE> original = buffer;
    ASSERT_EQ(Write(buffer), 7);
    EXPECT_EQ(buffer, original);
    EXPECT_EQ(runtime.log().samplesWritten.back().bytes, original);
    CloseFilterOutput(handle);
    handle = nullptr;
  }
}

TEST_F(WriteOutputTest, AnEmptyBufferIsWrittenAsAnEmptySampleAtTheCurrentTime) {
  Open(16);
  std::vector<BYTE> full(65536);
  ASSERT_EQ(Write(full), 65536);
  EXPECT_EQ(WriteFilterOutput(handle, nullptr, 0), 0);
  ASSERT_EQ(Write(full), 65536);
  EXPECT_THAT(runtime.callsTo("Writer.AllocateSample"),
              ElementsAre("Writer.AllocateSample(65536)", "Writer.AllocateSample(0)",
                          "Writer.AllocateSample(65536)"));
  EXPECT_THAT(Stamps(), ElementsAre(0u, 3715192u, 3715192u));
}

TEST_F(WriteOutputTest, BeginsWritingOnceAndRetriesAfterAFailedStart) {
  Open(32);
  runtime.Fail("Writer.BeginWriting", NS_E_INVALID_REQUEST);
  std::vector<BYTE> buffer = FloatBytes({1.0f});
  const std::vector<BYTE> original = buffer;
  EXPECT_EQ(Write(buffer), 0);
  EXPECT_EQ(buffer, original);  // not converted
  EXPECT_THAT(runtime.callsTo("Writer.AllocateSample"), IsEmpty());

  EXPECT_EQ(Write(buffer), 4);
  std::vector<BYTE> next = FloatBytes({1.0f});
  EXPECT_EQ(Write(next), 4);
  EXPECT_THAT(runtime.callsTo("Writer.BeginWriting"),
              ElementsAre("Writer.BeginWriting()", "Writer.BeginWriting()"));
  EXPECT_EQ(runtime.log().samplesWritten.size(), 2u);
}

// The time runs by the bytes submitted, whatever room the writer's samples have beyond them.
TEST_F(WriteOutputTest, StampsEachBufferWithTheSumOfTheTruncatedDurationsBeforeIt) {
  for (const int extraBytes : {0, 1, 4096}) {
    SCOPED_TRACE(extraBytes);
    runtime.writer.sampleSizeChange = extraBytes;
    runtime.record().samplesWritten.clear();
    Open(16);
    std::vector<BYTE> buffer(65536);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(Write(buffer), 65536);
    EXPECT_THAT(Stamps(), ElementsAre(0u, 3715192u, 2 * 3715192u, 3 * 3715192u));
    for (const auto& sample : runtime.log().samplesWritten) {
      EXPECT_EQ(sample.input, 0u);
      EXPECT_EQ(sample.flags, 0u);
      EXPECT_EQ(sample.bytes.size(), 65536u);
    }
    CloseFilterOutput(handle);
    handle = nullptr;
  }
}

TEST_F(WriteOutputTest, TimesFloatBuffersByTheirPackedLength) {
  Open(32);
  std::vector<BYTE> buffer(65536);
  ASSERT_EQ(Write(buffer), 65536);
  std::vector<BYTE> again(65536);
  ASSERT_EQ(Write(again), 65536);
  EXPECT_THAT(runtime.callsTo("Writer.AllocateSample"),
              ElementsAre("Writer.AllocateSample(49152)", "Writer.AllocateSample(49152)"));
  EXPECT_THAT(Stamps(), ElementsAre(0u, 1857596u));
}

TEST_F(WriteOutputTest, AFailedStepLeavesTheTimeAndNoSampleBehind) {
  constexpr char kShortSample[] = "a sample shorter than asked";
  for (const std::string step : {"Writer.AllocateSample", "SampleBuffer.GetBufferAndLength",
                                 "SampleBuffer.SetLength", "Writer.WriteSample", kShortSample}) {
    SCOPED_TRACE(step);
    Open(32);
    std::vector<BYTE> first(4096);
    ASSERT_EQ(Write(first), 4096);
    if (step == kShortSample) {
      runtime.writer.sampleSizeChange = -1;
    } else {
      runtime.Fail(step.c_str(), E_FAIL);
    }
    std::vector<BYTE> buffer = FloatBytes({1.0f, 2.0f});
    EXPECT_EQ(Write(buffer), 0);
    runtime.writer.sampleSizeChange = 0;
    EXPECT_THAT(std::vector<BYTE>(buffer.begin(), buffer.begin() + 6),
                ElementsAre(0x00, 0x01, 0x00, 0x00, 0x02, 0x00));  // converted already
    EXPECT_EQ(runtime.liveObjects(), 1u);                          // the writer alone
    ASSERT_EQ(Write(first), 4096);
    const std::vector<QWORD> stamps = Stamps();
    EXPECT_EQ(stamps.back(), 4096 / 4 * 3 * 10000000ull / 264600);  // the failed one left no time
    CloseFilterOutput(handle);
    handle = nullptr;
  }
}

TEST_F(WriteOutputTest, RefusesANullHandleANegativeCountAndANullBuffer) {
  Open(16);
  BYTE bytes[4] = {};
  EXPECT_EQ(WriteFilterOutput(nullptr, bytes, 4), 0);
  EXPECT_EQ(WriteFilterOutput(handle, bytes, -4), 0);
  EXPECT_EQ(WriteFilterOutput(handle, nullptr, 4), 0);
  EXPECT_THAT(runtime.callsTo("Writer.BeginWriting"), IsEmpty());
}

}  // namespace
}  // namespace encode_testing
