// ReadFilterInput: the reader's sample buffers reach the host byte for byte, or as floats for
// 24-bit sources, whatever the sizes of the requests and of the buffers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "decode/input_file.h"
#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace runtime_double;

using Bytes = std::vector<BYTE>;

std::uint32_t BitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

// The floats in delivered bytes.
std::vector<float> Floats(const Bytes& bytes) {
  std::vector<float> floats(bytes.size() / 4);
  if (!floats.empty()) std::memcpy(floats.data(), bytes.data(), floats.size() * 4);
  return floats;
}

// What a 24-bit sample is on the host's 16-bit scale.
float HostValue(std::int32_t sample) { return static_cast<float>(sample / 256.0); }

class SampleDeliveryTest : public LeakCheckedTest {
 protected:
  RuntimeDouble runtime;

  void Script24Bit(Samples samples) {
    runtime.reader.outputFormats = {PcmFormat(48000, 2, 24)};
    runtime.reader.samples = std::move(samples);
  }
  std::size_t SamplesAsked() const { return runtime.callsTo("SyncReader.GetNextSample").size(); }
};

// ---- Float conversion of 24-bit samples ----

struct PackedSample {
  BYTE b0, b1, b2;
  float expected;
};

class FloatConversionTest : public SampleDeliveryTest,
                            public testing::WithParamInterface<PackedSample> {};

TEST_P(FloatConversionTest, GivesTheSampleOnTheSixteenBitScale) {
  const PackedSample& sample = GetParam();
  Script24Bit({{{sample.b0, sample.b1, sample.b2}}});
  InputFile input;
  ASSERT_EQ(input.bits, 32);
  const std::vector<float> floats = Floats(input.Read(4));
  ASSERT_EQ(floats.size(), 1u);
  EXPECT_EQ(BitsOf(floats[0]), BitsOf(sample.expected)) << floats[0];
}

INSTANTIATE_TEST_SUITE_P(Table, FloatConversionTest,
                         testing::Values(PackedSample{0x00, 0x00, 0x80, -32768.0f},
                                         PackedSample{0xFF, 0xFF, 0x7F, 32767.99609375f},
                                         PackedSample{0x00, 0x01, 0x00, 1.0f},
                                         PackedSample{0x01, 0x00, 0x00, 0.00390625f},
                                         PackedSample{0xFF, 0xFF, 0xFF, -0.00390625f},
                                         PackedSample{0x00, 0x00, 0x00, 0.0f},
                                         PackedSample{0x00, 0xFF, 0xFF, -1.0f},
                                         PackedSample{0x56, 0x34, 0x12, 4660.3359375f}));

TEST_F(SampleDeliveryTest, AFloatRequestOf65536BytesTakes49152BytesOfTheReader) {
  std::vector<std::int32_t> values(20000);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::int32_t>(i) - 8000;
  Bytes packed;
  for (std::int32_t value : values) {
    packed.insert(packed.end(), {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                 static_cast<BYTE>(value >> 16)});
  }
  Script24Bit({{packed}});
  InputFile input;
  const std::vector<float> first = Floats(input.Read(65536));
  ASSERT_EQ(first.size(), 16384u);
  EXPECT_EQ(first[16383], HostValue(values[16383]));
  const std::vector<float> next = Floats(input.Read(8));
  EXPECT_THAT(next, ElementsAre(HostValue(values[16384]), HostValue(values[16385])));
}

TEST_F(SampleDeliveryTest, AFloatRequestNotAMultipleOfFourGetsWholeFloatsAndNothingPastTheCount) {
  Script24Bit({{Bytes24({256, 512, 768, 1024})}});
  InputFile input;
  Bytes buffer(12, 0xAA);
  EXPECT_EQ(ReadFilterInput(input.handle(), buffer.data(), 10), 8);
  EXPECT_THAT(Floats(Bytes(buffer.begin(), buffer.begin() + 8)), ElementsAre(1.0f, 2.0f));
  EXPECT_THAT(Bytes(buffer.begin() + 8, buffer.end()), ElementsAre(0xAA, 0xAA, 0xAA, 0xAA));

  buffer.assign(12, 0xAA);
  EXPECT_EQ(ReadFilterInput(input.handle(), buffer.data(), 3), 0);
  EXPECT_EQ(buffer, Bytes(12, 0xAA));
  EXPECT_THAT(Floats(input.Read(8)), ElementsAre(3.0f, 4.0f));
}

TEST_F(SampleDeliveryTest, APartialTwentyFourBitSampleAtTheEndOfABufferIsPassedOver) {
  Bytes ragged = Bytes24({256});
  ragged.insert(ragged.end(), {0x11, 0x22});
  Script24Bit({{ragged}, {Bytes24({-256})}});
  InputFile input;
  EXPECT_THAT(Floats(input.Read(12)), ElementsAre(1.0f, -1.0f));
  EXPECT_THAT(input.Read(4), IsEmpty());
}

// ---- The cursor between calls ----

TEST_F(SampleDeliveryTest, OddSixteenBitRequestsSplitASampleAndLoseNoByte) {
  runtime.reader.samples = {{Bytes16({0x1234, 0x5678})}};
  InputFile input;
  EXPECT_THAT(input.Read(1), ElementsAre(0x34));
  EXPECT_THAT(input.Read(3), ElementsAre(0x12, 0x78, 0x56));
}

TEST_F(SampleDeliveryTest, ARequestEndingAtTheEndOfABufferKeepsItUntilTheNextCall) {
  runtime.reader.samples = {{{1, 2, 3, 4}}, {{5, 6}}};
  InputFile input;
  EXPECT_THAT(input.Read(4), ElementsAre(1, 2, 3, 4));
  EXPECT_EQ(SamplesAsked(), 1u);
  EXPECT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps"));

  EXPECT_THAT(input.Read(2), ElementsAre(5, 6));
  // The used-up buffer went before the reader was asked for the next one.
  ASSERT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps", "SampleBuffer"));
  const auto& calls = runtime.calls();
  const auto firstAsk = std::find(calls.begin(), calls.end(), "SyncReader.GetNextSample(0)");
  const auto secondAsk = std::find(firstAsk + 1, calls.end(), "SyncReader.GetNextSample(0)");
  EXPECT_LE(runtime.finalReleases()[1].callsBefore,
            static_cast<std::size_t>(secondAsk - calls.begin()));
}

TEST_F(SampleDeliveryTest, EmptyBuffersAreSkippedWithinOneCall) {
  runtime.reader.samples = {{}, {{1, 2}}, {}, {}, {{3}}};
  InputFile input;
  EXPECT_THAT(input.Read(3), ElementsAre(1, 2, 3));
}

TEST_F(SampleDeliveryTest, TheEndGivesAShortCountAndThenZeroOnEveryCall) {
  runtime.reader.samples = {{{1, 2, 3}}};
  InputFile input;
  SetLastError(ERROR_INVALID_HANDLE);
  EXPECT_THAT(input.Read(5), ElementsAre(1, 2, 3));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS}) << "the end is no failure";
  for (std::size_t ask = 3; ask <= 5; ++ask) {
    EXPECT_THAT(input.Read(5), IsEmpty());
    EXPECT_EQ(SamplesAsked(), ask) << "each call asks the reader once more";
  }
}

TEST_F(SampleDeliveryTest, ACountOfZeroOrBelowAsksNothing) {
  runtime.reader.samples = {{{1}}};
  InputFile input;
  BYTE byte = 0xAA;
  EXPECT_EQ(ReadFilterInput(input.handle(), &byte, 0), 0);
  EXPECT_EQ(ReadFilterInput(input.handle(), &byte, -4), 0);
  EXPECT_EQ(byte, 0xAA);
  EXPECT_EQ(SamplesAsked(), 0u);
}

TEST_F(SampleDeliveryTest, ANullHandleOrBufferDeliversNothing) {
  BYTE byte = 0xAA;
  EXPECT_EQ(ReadFilterInput(nullptr, &byte, 1), 0);
  EXPECT_EQ(byte, 0xAA);
  runtime.reader.samples = {{{1}}};
  InputFile input;
  EXPECT_EQ(ReadFilterInput(input.handle(), nullptr, 4), 0);
  EXPECT_EQ(SamplesAsked(), 0u);
}

TEST_F(SampleDeliveryTest, SamplesOfOtherOutputsAreReleasedAndNotDelivered) {
  runtime.reader.samples = {{{1, 2}}, {{9, 9, 9}, 1, 2}, {{3}}, {{8}, 2, 3}};
  InputFile input;
  EXPECT_THAT(input.Read(8), ElementsAre(1, 2, 3));
  EXPECT_EQ(runtime.liveObjects(), 1u);  // the reader alone
}

// ---- Reader failures: the count so far, and a context that stays usable ----

TEST_F(SampleDeliveryTest, AFailingGetNextSampleEndsTheCallWithTheBytesSoFar) {
  Sample handedOutWithAFailure{{9, 9}};
  handedOutWithAFailure.result = E_FAIL;
  runtime.reader.samples = {{{1, 2}}, {{3, 4}}, handedOutWithAFailure, {{5}}};
  runtime.Fail("SyncReader.GetNextSample", E_FAIL, 2);
  InputFile input;
  EXPECT_THAT(input.Read(4), ElementsAre(1, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_FAIL)) << "why the count is short";
  EXPECT_THAT(input.Read(4), ElementsAre(3, 4));
  // The sample that came with the failure is released at once, not delivered or leaked.
  EXPECT_EQ(runtime.liveObjects(), 1u);
  EXPECT_THAT(input.Read(4), ElementsAre(5));
}

TEST_F(SampleDeliveryTest, ASuccessWithoutASampleEndsTheCallAsAFailure) {
  Sample nothing;
  nothing.withBuffer = false;
  runtime.reader.samples = {{{1, 2}}, nothing, {{3}}};
  InputFile input;
  SetLastError(ERROR_SUCCESS);
  EXPECT_THAT(input.Read(4), ElementsAre(1, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_UNEXPECTED)) << "no clean end";
  EXPECT_THAT(input.Read(4), ElementsAre(3));
}

TEST_F(SampleDeliveryTest, ABufferThatCannotBeReadCountsAsEmpty) {
  runtime.reader.samples = {{{1, 2}}, {{3, 4}}};
  runtime.Fail("SampleBuffer.GetBufferAndLength", E_FAIL, 1);
  InputFile input;
  EXPECT_THAT(input.Read(4), ElementsAre(3, 4));
}

// ---- Any sizes of requests and buffers give the same stream ----

// Reads the whole file with requests of the given sizes in turn, until a short count.
Bytes ReadAll(InputFile& input, const std::vector<LONG>& requestSizes) {
  Bytes all;
  for (std::size_t i = 0;; ++i) {
    const LONG wanted = requestSizes[i % requestSizes.size()];
    const Bytes part = input.Read(wanted);
    all.insert(all.end(), part.begin(), part.end());
    if (static_cast<LONG>(part.size()) < wanted) return all;
  }
}

TEST_F(SampleDeliveryTest, SixteenBitAudioArrivesUnchangedWhateverTheRequestSizes) {
  std::mt19937 random(7);
  Bytes expected;
  Samples samples;
  for (std::size_t length : {4410, 0, 1, 2048, 3, 65536, 7, 0, 100000}) {
    Bytes bytes(length);
    for (BYTE& byte : bytes) byte = static_cast<BYTE>(random());
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    samples.push_back({bytes});
  }
  runtime.reader.samples = samples;
  for (const std::vector<LONG>& sizes :
       {std::vector<LONG>{65536}, {1}, {3, 4096, 1, 7}, {2048, 4410}}) {
    SCOPED_TRACE(testing::Message() << "requests of " << sizes[0] << " bytes first");
    InputFile input;
    const Bytes delivered = ReadAll(input, sizes);
    ASSERT_EQ(delivered.size(), expected.size());
    EXPECT_TRUE(delivered == expected);
  }
}

TEST_F(SampleDeliveryTest, TwentyFourBitAudioArrivesAsFloatsWhateverTheRequestSizes) {
  std::mt19937 random(11);
  std::vector<float> expected;
  Samples samples;
  for (std::size_t count : {1000, 0, 1, 21846, 5, 333}) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
      const std::int32_t value = static_cast<std::int32_t>(random() % (1 << 24)) - (1 << 23);
      expected.push_back(HostValue(value));
      bytes.insert(bytes.end(), {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                 static_cast<BYTE>(value >> 16)});
    }
    samples.push_back({bytes});
  }
  Script24Bit(samples);
  for (const std::vector<LONG>& sizes :
       {std::vector<LONG>{65536}, {4}, {12, 4000, 8}, {4004, 65536, 400}}) {
    SCOPED_TRACE(testing::Message() << "requests of " << sizes[0] << " bytes first");
    InputFile input;
    const std::vector<float> delivered = Floats(ReadAll(input, sizes));
    ASSERT_EQ(delivered.size(), expected.size());
    EXPECT_TRUE(delivered == expected);
  }
}

}  // namespace
