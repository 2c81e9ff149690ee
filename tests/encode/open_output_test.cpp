// OpenFilterOutput, CloseFilterOutput and FilterOptions on output handles: the writer's set-up
// call by call, its release order on every failure, the input format, and the options word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <platform_testing.h>

#include "encode/encode_support.h"

namespace encode_testing {
namespace {

using runtime_double::MediaFormat;
using runtime_double::PcmFormat;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class OpenOutputTest : public LeakCheckedTest {
 protected:
  unsigned Apartment() const { return platform_testing::CurrentApartment().initializations; }
};

// Each release of the set-up as the order asks for it: media type (seen through the heap),
// input props, stream configuration, codec information, profile, profile manager, writer.
int ReleaseRank(const runtime_double::ReleaseCall& release) {
  static const std::map<std::string, int> kRanks = {
      {"InputProps", 1}, {"StreamConfig", 2}, {"Profile", 4}, {"Writer", 6}};
  if (release.object == "ProfileManager") return release.referencesLeft > 0 ? 3 : 5;
  return kRanks.at(release.object);
}

void ExpectReverseOrder(const RuntimeDouble& runtime) {
  int rank = 0;
  for (const auto& release : runtime.log().releases) {
    EXPECT_GT(ReleaseRank(release), rank) << release.object << " released out of order";
    rank = ReleaseRank(release);
  }
}

// Everything the failed open acquired was given back in reverse order, COM last, and the host
// saw nothing: no handle, the chunk size untouched.
void ExpectGivenBack(const RuntimeDouble& runtime, const OutputOpen& open, unsigned apartment,
                     std::size_t heapBlocks) {
  EXPECT_EQ(open.chunk, kUntouchedChunk);
  EXPECT_EQ(runtime.liveObjects(), 0u);
  ExpectReverseOrder(runtime);
  for (const auto& release : runtime.finalReleases()) {
    EXPECT_EQ(release.apartmentCount, apartment + 1) << release.object << " after COM was undone";
    // Only the record is still allocated: the media type went first.
    EXPECT_EQ(release.liveHeapBlocks, heapBlocks + 1) << release.object;
  }
  EXPECT_EQ(platform_testing::CurrentApartment().initializations, apartment);
  EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks);
}

TEST_F(OpenOutputTest, SetsUpTheWriterStepByStepAndLeavesOnlyTheWriterAndCom) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  OutputOpen open;
  open.options = 0x00010002;
  const unsigned apartment = Apartment();
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();

  FilterHandle handle = open.Run();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(open.chunk, 65536);
  EXPECT_EQ(FilterOptions(handle), 0x00010002u);
  EXPECT_THAT(
      runtime.calls(),
      ElementsAre("WMCreateWriter(null)", "WMCreateProfileManager()",
                  "ProfileManager.CreateEmptyProfile(0x90000)",
                  "ProfileManager.QueryInterface(IWMCodecInfo3)",
                  "CodecInfo.SetCodecEnumerationSetting(audio, 1, _VBRENABLED, BOOL, 0, 4)",
                  "CodecInfo.GetCodecFormat(audio, 1, 2)", "StreamConfig.SetStreamNumber(1)",
                  "Profile.AddStream(#1 audio: tag 0x0161, 2 ch, 44100 Hz, 16000 B/s, align 2000, "
                  "16 bit, cbSize 10)",
                  "Writer.SetProfile(#1 audio: tag 0x0161, 2 ch, 44100 Hz, 16000 B/s, align 2000, "
                  "16 bit, cbSize 10)",
                  "Writer.GetInputProps(0)", "InputProps.GetMediaType(null, 0)",
                  "InputProps.GetMediaType(buffer, 106)",
                  "InputProps.SetMediaType(audio: tag 0x0001, 2 ch, 44100 Hz, 176400 B/s, align 4, "
                  "16 bit, cbSize 18)",
                  "Writer.SetInputProps(0, audio: tag 0x0001, 2 ch, 44100 Hz, 176400 B/s, align 4, "
                  "16 bit, cbSize 18)",
                  "Writer.SetOutputFilename(out.wma)"));
  EXPECT_THAT(runtime.releasedObjects(),
              ElementsAre("InputProps", "StreamConfig", "Profile", "ProfileManager"));
  ExpectReverseOrder(runtime);
  EXPECT_EQ(runtime.finalReleases().front().liveHeapBlocks, heapBlocks + 1);
  EXPECT_EQ(runtime.liveObjects(), 1u);  // the writer
  EXPECT_EQ(Apartment(), apartment + 1);

  // Closed before any write: no EndWriting, the writer released while COM is still up.
  CloseFilterOutput(handle);
  EXPECT_THAT(runtime.callsTo("Writer.EndWriting"), IsEmpty());
  EXPECT_EQ(runtime.finalReleases().back().object, "Writer");
  EXPECT_EQ(runtime.finalReleases().back().apartmentCount, apartment + 1);
  EXPECT_EQ(Apartment(), apartment);
}

TEST_F(OpenOutputTest, EveryFailingRuntimeCallGivesEverythingBack) {
  std::vector<std::string> calls;
  {
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    OutputOpen open;
    CloseFilterOutput(open.Run());
    calls = runtime.calls();
  }
  ASSERT_GE(calls.size(), 15u);
  const unsigned apartment = Apartment();
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  std::map<std::string, unsigned> seen;
  for (const std::string& call : calls) {
    const std::string name = CallName(call);
    if (!runtime_double::IsFailableCall(name)) continue;
    SCOPED_TRACE(call);
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    runtime.Fail(name, E_FAIL, ++seen[name]);
    OutputOpen open;
    EXPECT_EQ(open.Run(), nullptr);
    ExpectGivenBack(runtime, open, apartment, heapBlocks);
  }
  // A name that the writer refuses comes last: everything set up is given back all the same.
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  runtime.writer.acceptsFileName = [](std::u16string_view) { return false; };
  OutputOpen open;
  EXPECT_EQ(open.Run(), nullptr);
  ExpectGivenBack(runtime, open, apartment, heapBlocks);
  EXPECT_THAT(runtime.releasedObjects(),
              ElementsAre("InputProps", "StreamConfig", "Profile", "ProfileManager", "Writer"));
}

TEST_F(OpenOutputTest, EveryFailingAllocationGivesEverythingBack) {
  const unsigned apartment = Apartment();
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  unsigned allocations = 0;
  {
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    OutputOpen open;
    const unsigned before = platform_testing::HeapAllocationCalls();
    CloseFilterOutput(open.Run());
    allocations = platform_testing::HeapAllocationCalls() - before;
  }
  ASSERT_EQ(allocations, 3u);  // the record, the media type, the wide file name
  for (unsigned nth = 1; nth <= allocations; ++nth) {
    SCOPED_TRACE(nth);
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    platform_testing::FailHeapAllocation(nth);
    OutputOpen open;
    EXPECT_EQ(open.Run(), nullptr);
    EXPECT_EQ(open.chunk, kUntouchedChunk);
    EXPECT_EQ(runtime.liveObjects(), 0u);
    if (nth == 1) {
      EXPECT_THAT(runtime.calls(), IsEmpty());  // no record, no COM
    } else {
      ExpectGivenBack(runtime, open, apartment, heapBlocks);
    }
  }
}

TEST_F(OpenOutputTest, AThreadInTheMultithreadedApartmentIsRefusedAndLeftAsItWas) {
  RuntimeDouble runtime;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  OutputOpen open;
  EXPECT_EQ(open.Run(), nullptr);
  EXPECT_EQ(open.chunk, kUntouchedChunk);
  EXPECT_THAT(runtime.calls(), IsEmpty());
  EXPECT_EQ(platform_testing::CurrentApartment().model,
            platform_testing::ApartmentModel::kMultiThreaded);
  EXPECT_EQ(Apartment(), 1u);
  CoUninitialize();
}

TEST_F(OpenOutputTest, RefusesSampleTypesItCannotTimeOrReadBeforeTouchingCom) {
  struct Refused {
    const char* fileName;
    LONG rate;
    WORD bits;
    WORD channels;
  };
  const Refused kRefused[] = {
      {nullptr, 44100, 16, 2},        {"out.wma", 0, 16, 2},    {"out.wma", -44100, 16, 2},
      {"out.wma", 44100, 16, 0},      {"out.wma", 44100, 0, 2}, {"out.wma", 44100, 24, 2},
      {"out.wma", 44100, 12, 2},      {"out.wma", 44100, 4, 2}, {"out.wma", 44100, 64, 2},
      {"out.wma", 536870912, 8, 8},  // 2^32 bytes per second: the timing's divisor wraps to 0
      {"out.wma", 0x7FFFFFFF, 32, 1},
  };
  RuntimeDouble runtime;
  const unsigned allocations = platform_testing::HeapAllocationCalls();
  for (const Refused& row : kRefused) {
    SCOPED_TRACE(::testing::Message()
                 << row.rate << " Hz, " << row.bits << " bit, " << row.channels << " ch");
    OutputOpen open{0x00010003, row.rate, row.bits, row.channels, row.fileName};
    EXPECT_EQ(open.Run(), nullptr);
    EXPECT_EQ(open.chunk, kUntouchedChunk);
  }
  EXPECT_THAT(runtime.calls(), IsEmpty());
  EXPECT_EQ(platform_testing::HeapAllocationCalls(), allocations);
}

// The writer's input format for the host's sample type; every other part of the media type
// stays as the writer offered it.
struct InputFormatRow {
  LONG rate;
  WORD hostBits;
  WORD channels;
  WORD writerBits;
  WORD blockAlign;
  DWORD bytesPerSecond;
};

class WriterInputFormatTest : public OpenOutputTest,
                              public ::testing::WithParamInterface<InputFormatRow> {};

TEST_P(WriterInputFormatTest, DeclaresTheHostLayoutAsIntegerPcm) {
  const InputFormatRow& row = GetParam();
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  // A distinctive offer: a 22-byte format block, odd sample size, compressed flags.
  MediaFormat offered = PcmFormat(8000, 6, 8);
  offered.subtype.Data1 = 0x1234;
  offered.sampleSize = 77;
  offered.fixedSizeSamples = FALSE;
  offered.temporalCompression = TRUE;
  offered.format.insert(offered.format.end(), {0xA1, 0xA2, 0xA3, 0xA4});
  runtime.writer.inputFormat = offered;
  runtime.writer.acceptsInput = nullptr;
  OutputOpen open{0x00010003, row.rate, row.hostBits, row.channels};

  FilterHandle handle = open.Run();
  ASSERT_NE(handle, nullptr);
  CloseFilterOutput(handle);
  ASSERT_EQ(runtime.log().mediaTypesSet.size(), 1u);
  const MediaFormat& set = runtime.log().mediaTypesSet[0].format;
  const WAVEFORMATEX wave = set.wave();
  EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave.nChannels, row.channels);
  EXPECT_EQ(wave.nSamplesPerSec, static_cast<DWORD>(row.rate));
  EXPECT_EQ(wave.wBitsPerSample, row.writerBits);
  EXPECT_EQ(wave.nBlockAlign, row.blockAlign);
  EXPECT_EQ(wave.nAvgBytesPerSec, row.bytesPerSecond);
  EXPECT_EQ(wave.cbSize, 18);

  MediaFormat expected = offered;
  std::memcpy(expected.format.data(), &wave, sizeof(wave));
  EXPECT_EQ(set, expected);  // the extra bytes and every other field as offered
}

INSTANTIATE_TEST_SUITE_P(HostSampleTypes, WriterInputFormatTest,
                         ::testing::Values(InputFormatRow{44100, 32, 2, 24, 6, 264600},
                                           InputFormatRow{44100, 16, 1, 16, 2, 88200},
                                           InputFormatRow{22050, 8, 2, 8, 2, 44100},
                                           InputFormatRow{48000, 32, 6, 24, 18, 864000}));

TEST_F(OpenOutputTest, AnOfferWithoutAWaveFormatFailsTheSetUp) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  MediaFormat offered = PcmFormat(44100, 2, 16);
  offered.format.resize(sizeof(WAVEFORMATEX) - 1);
  runtime.writer.inputFormat = offered;
  const unsigned apartment = Apartment();
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  OutputOpen open;
  EXPECT_EQ(open.Run(), nullptr);
  EXPECT_THAT(runtime.callsTo("InputProps.SetMediaType"), IsEmpty());
  ExpectGivenBack(runtime, open, apartment, heapBlocks);
}

TEST_F(OpenOutputTest, WordZeroIsResolvedByTheDefaultSearchAndReported) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  const unsigned apartment = Apartment();
  OutputOpen open;
  open.options = 0;
  FilterHandle handle = open.Run();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(FilterOptions(handle), 0x00010003u);
  EXPECT_THAT(runtime.callsTo("CodecInfo.GetCodecFormat("),
              ElementsAre("CodecInfo.GetCodecFormat(audio, 1, 3)"));
  // The search nests its own COM initialisation inside the open's.
  EXPECT_EQ(runtime.finalReleases().front().object, "StreamConfig");
  EXPECT_EQ(runtime.finalReleases().front().apartmentCount, apartment + 2);
  CloseFilterOutput(handle);
}

TEST_F(OpenOutputTest, WordZeroStaysZeroWhenNothingQualifiesAndConfiguresCodecZeroFormatZero) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  runtime.codecs[1].cbr.pop_back();
  OutputOpen open;
  open.options = 0;
  FilterHandle handle = open.Run();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(FilterOptions(handle), 0u);
  const auto& settings = runtime.log().enumerationSettings;
  ASSERT_FALSE(settings.empty());
  EXPECT_EQ(settings.back().codec, 0u);
  EXPECT_EQ(settings.back().value.AsDword(), 0u);
  EXPECT_THAT(runtime.callsTo("CodecInfo.GetCodecFormat("),
              ElementsAre("CodecInfo.GetCodecFormat(audio, 0, 0)"));
  CloseFilterOutput(handle);
}

TEST_F(OpenOutputTest, NonZeroWordsAreTakenAsTheyStandWithoutTheSearch) {
  struct Row {
    DWORD options;
    DWORD vbr;
    const char* getFormat;
  };
  const Row kRows[] = {
      {0x80000000, 1, "CodecInfo.GetCodecFormat(audio, 0, 0)"},
      {0x7F010002, 0, "CodecInfo.GetCodecFormat(audio, 1, 2)"},  // bits 24-30 ignored
      {0x00010002, 0, "CodecInfo.GetCodecFormat(audio, 1, 2)"},
      {0x01000000, 0, "CodecInfo.GetCodecFormat(audio, 0, 0)"},  // codec 0 format 0, marked
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.options);
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    OutputOpen open;
    open.options = row.options;
    FilterHandle handle = open.Run();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(FilterOptions(handle), row.options);
    EXPECT_THAT(runtime.callsTo("CodecInfo.GetCodecInfoCount"), IsEmpty());
    ASSERT_EQ(runtime.log().enumerationSettings.size(), 1u);
    const auto& setting = runtime.log().enumerationSettings[0];
    EXPECT_EQ(setting.name, u"_VBRENABLED");
    EXPECT_EQ(setting.value.type, WMT_TYPE_BOOL);
    EXPECT_EQ(setting.value.bytes.size(), 4u);
    EXPECT_EQ(setting.value.AsDword(), row.vbr);
    EXPECT_THAT(runtime.callsTo("CodecInfo.GetCodecFormat("), ElementsAre(row.getFormat));
    CloseFilterOutput(handle);
  }
  // Format 0 of codec 0's variable bit-rate list is the stream that the profile carries.
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  OutputOpen open;
  open.options = 0x80000000;
  CloseFilterOutput(open.Run());
  ASSERT_EQ(runtime.log().profilesSet.size(), 1u);
  EXPECT_EQ(runtime.log().profilesSet[0].streams.at(0).format, runtime.codecs[0].vbr[0].format);
}

TEST_F(OpenOutputTest, AFormatIndexPastTheListFailsTheOpen) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  const unsigned apartment = Apartment();
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  OutputOpen open;
  open.options = 0x80000001;  // codec 0 lists one variable bit-rate format
  EXPECT_EQ(open.Run(), nullptr);
  ExpectGivenBack(runtime, open, apartment, heapBlocks);
}

TEST_F(OpenOutputTest, GivesTheWriterTheWholeNameTerminatedHoweverLong) {
  RuntimeDouble runtime;
  ScriptCatalogue(runtime);
  std::string name = "C:\\" + std::string(400, 'a') + "\xE9.wma";
  OutputOpen open;
  open.fileName = name.c_str();
  FilterHandle handle = open.Run();
  ASSERT_NE(handle, nullptr);
  CloseFilterOutput(handle);
  std::u16string expected = u"C:\\" + std::u16string(400, u'a') + u"\u00e9.wma";
  EXPECT_THAT(runtime.log().outputFiles, ElementsAre(expected));
}

TEST_F(OpenOutputTest, CloseEndsWritingThatBeganAndUndoesComEvenWhenEndWritingFails) {
  for (const HRESULT endWriting : {S_OK, E_FAIL}) {
    SCOPED_TRACE(endWriting);
    RuntimeDouble runtime;
    ScriptCatalogue(runtime);
    const unsigned apartment = Apartment();
    OutputOpen open;
    FilterHandle handle = open.Run();
    BYTE bytes[4] = {};
    ASSERT_EQ(WriteFilterOutput(handle, bytes, 4), 4);
    if (FAILED(endWriting)) runtime.Fail("Writer.EndWriting", endWriting);
    const std::size_t before = runtime.calls().size();
    CloseFilterOutput(handle);
    EXPECT_THAT(std::vector<std::string>(runtime.calls().begin() + before, runtime.calls().end()),
                ElementsAre("Writer.EndWriting()"));
    EXPECT_EQ(runtime.finalReleases().back().object, "Writer");
    EXPECT_EQ(runtime.finalReleases().back().apartmentCount, apartment + 1);
    EXPECT_EQ(Apartment(), apartment);
  }
}

TEST_F(OpenOutputTest, NullHandlesAreHarmless) {
  RuntimeDouble runtime;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CloseFilterOutput(nullptr);
  EXPECT_EQ(Apartment(), 1u);  // no CoUninitialize either
  CoUninitialize();
  EXPECT_EQ(FilterOptions(nullptr), 0u);
  EXPECT_THAT(runtime.calls(), IsEmpty());
}

}  // namespace
}  // namespace encode_testing
