// The probe, the open and the close of an input file: the calls made, the sample format
// reported, and on every failure everything given back in reverse order with COM as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <platform_testing.h>

#include "decode/input_file.h"
#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using namespace runtime_double;

unsigned ComInitializations() { return platform_testing::CurrentApartment().initializations; }

// The index of the first `call` in the log; the log's size when there is none.
std::size_t PositionOf(const RuntimeDouble& runtime, std::string_view call) {
  const auto& calls = runtime.calls();
  return std::find(calls.begin(), calls.end(), call) - calls.begin();
}

class ReaderOpenTest : public LeakCheckedTest {
 protected:
  RuntimeDouble runtime;
};

TEST_F(ReaderOpenTest, OpensOutputZeroInItsFirstFormatAndReportsIt) {
  runtime.reader.outputFormats = {PcmFormat(44100, 2, 16), PcmFormat(22050, 1, 8)};
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  const unsigned initializations = ComInitializations();
  {
    InputFile input;
    ASSERT_TRUE(input);
    EXPECT_EQ(input.rate, 44100);
    EXPECT_EQ(input.bits, 16);
    EXPECT_EQ(input.channels, 2);
    EXPECT_EQ(input.chunkSize, 65536);
    EXPECT_EQ(FilterOptions(input.handle()), 0u);
    EXPECT_EQ(ComInitializations(), initializations + 1);
    EXPECT_THAT(runtime.calls(),
                ElementsAre("WMCreateSyncReader(null, 1)", "SyncReader.Open(song.wma)",
                            "SyncReader.SetOutputSetting(0, EnableDiscreteOutput, BOOL, 1, 4)",
                            "SyncReader.SetOutputSetting(0, SpeakerConfig, DWORD, 2, 4)",
                            "SyncReader.GetOutputFormat(0, 0)", "OutputProps.GetMediaType(null, 0)",
                            "OutputProps.GetMediaType(buffer, " +
                                std::to_string(sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX)) + ")",
                            "SyncReader.SetOutputProps(0, audio: tag 0x0001, 2 ch, 44100 Hz, "
                            "176400 B/s, align 4, 16 bit, cbSize 0)"));
    // The props go within the open, after the media type and the UTF-16 name are freed: only
    // the context itself is left on the heap.
    ASSERT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps"));
    EXPECT_EQ(runtime.finalReleases()[0].liveHeapBlocks, heapBlocks + 1);
    EXPECT_EQ(runtime.liveObjects(), 1u);
  }
  // The close: the reader is closed, released, and then COM is left.
  EXPECT_EQ(runtime.calls().back(), "SyncReader.Close()");
  ASSERT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps", "SyncReader"));
  EXPECT_EQ(runtime.finalReleases()[1].apartmentCount, initializations + 1);
  EXPECT_EQ(runtime.finalReleases()[1].liveHeapBlocks, heapBlocks + 1);
  EXPECT_EQ(ComInitializations(), initializations);
}

TEST_F(ReaderOpenTest, ReportsEightAndSixteenBitsAsTheyAreAndTwentyFourAsThirtyTwo) {
  struct Case {
    DWORD rate;
    WORD channels;
    WORD readerBits;
    WORD reportedBits;
  };
  for (const Case& c : {Case{8000, 1, 8, 8}, Case{44100, 2, 16, 16}, Case{48000, 2, 24, 32},
                        Case{96000, 6, 24, 32}}) {
    SCOPED_TRACE(testing::Message() << c.readerBits << " bits at " << c.rate);
    // A PCMWAVEFORMAT block of 16 bytes holds all three numbers the open reads.
    runtime.reader.outputFormats = {
        PcmWaveFormatBlock(PcmFormat(c.rate, c.channels, c.readerBits))};
    InputFile input;
    ASSERT_TRUE(input);
    EXPECT_EQ(input.rate, static_cast<LONG>(c.rate));
    EXPECT_EQ(input.bits, c.reportedBits);
    EXPECT_EQ(input.channels, c.channels);
    EXPECT_EQ(input.chunkSize, 65536);
  }
}

TEST_F(ReaderOpenTest, ARuntimeThatRejectsBothOutputSettingsStillOpens) {
  runtime.FailEvery("SyncReader.SetOutputSetting", E_INVALIDARG);
  EXPECT_EQ(FilterUnderstandsFormat("song.wma"), 1);
  InputFile input;
  EXPECT_TRUE(input);
  EXPECT_EQ(runtime.callsTo("SyncReader.SetOutputSetting").size(), 4u);
}

TEST_F(ReaderOpenTest, TheProbeClosesWhatItOpenedAndLeavesComAsItWas) {
  const unsigned initializations = ComInitializations();
  EXPECT_EQ(FilterUnderstandsFormat("any name at all.mp3"), 1);
  EXPECT_EQ(ComInitializations(), initializations);
  EXPECT_EQ(runtime.calls().back(), "SyncReader.Close()");
  EXPECT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps", "SyncReader"));
  EXPECT_EQ(runtime.finalReleases()[1].apartmentCount, initializations + 1);
}

TEST_F(ReaderOpenTest, OnAThreadAlreadyInTheSingleThreadedApartmentTheCloseLeavesItInitialised) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  {
    InputFile input;
    EXPECT_TRUE(input);
    EXPECT_EQ(ComInitializations(), 2u);
  }
  EXPECT_EQ(ComInitializations(), 1u);
  EXPECT_EQ(FilterUnderstandsFormat("song.wma"), 1);
  EXPECT_EQ(ComInitializations(), 1u);
  CoUninitialize();
}

TEST_F(ReaderOpenTest, OnAThreadInTheMultithreadedApartmentNothingOpens) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(FilterUnderstandsFormat("song.wma"), 0);
  {
    InputFile input;
    EXPECT_FALSE(input);
    EXPECT_EQ(input.rate, InputFile::kUnwritten32);
    EXPECT_EQ(input.chunkSize, InputFile::kUnwritten32);
  }
  EXPECT_THAT(runtime.calls(), IsEmpty());
  EXPECT_EQ(platform_testing::CurrentApartment().model,
            platform_testing::ApartmentModel::kMultiThreaded);
  EXPECT_EQ(ComInitializations(), 1u);
  CoUninitialize();
}

TEST_F(ReaderOpenTest, WithoutMemoryForTheContextTheOpenTouchesNeitherComNorTheRuntime) {
  platform_testing::FailHeapAllocation(1);
  InputFile input;
  EXPECT_FALSE(input);
  EXPECT_EQ(input.bits, InputFile::kUnwritten16);
  EXPECT_EQ(input.channels, InputFile::kUnwritten16);
  EXPECT_THAT(runtime.calls(), IsEmpty());
  EXPECT_EQ(ComInitializations(), 0u);
}

TEST_F(ReaderOpenTest, TheFileNameReachesTheRuntimeInUtf16FromTheAnsiCodePage) {
  EXPECT_EQ(FilterUnderstandsFormat("C:\\M\xfasica\\caf\xe9 \x80.wma"), 1);
  EXPECT_THAT(runtime.log().openedFiles, ElementsAre(u"C:\\M\u00fasica\\caf\u00e9 \u20ac.wma"));
}

TEST_F(ReaderOpenTest, ANullFileNameFailsBeforeTheReaderIsAskedToOpen) {
  EXPECT_EQ(FilterUnderstandsFormat(nullptr), 0);
  EXPECT_THAT(runtime.calls(), ElementsAre("WMCreateSyncReader(null, 1)"));
  EXPECT_THAT(runtime.releasedObjects(), ElementsAre("SyncReader"));
}

TEST_F(ReaderOpenTest, ClosingWhileASampleIsHeldReleasesItBeforeTheReaderCloses) {
  runtime.reader.samples = {{Bytes16({1, 2, 3})}};
  {
    InputFile input;
    ASSERT_EQ(input.Read(2).size(), 2u);
  }
  EXPECT_THAT(runtime.releasedObjects(), ElementsAre("OutputProps", "SampleBuffer", "SyncReader"));
  // Released while the calls before Close were all that the log held.
  EXPECT_LE(runtime.finalReleases()[1].callsBefore, PositionOf(runtime, "SyncReader.Close()"));
}

TEST_F(ReaderOpenTest, ClosingANullHandleDoesNothing) {
  CloseFilterInput(nullptr);
  EXPECT_THAT(runtime.calls(), IsEmpty());
}

// ---- Every way the open can fail, for the probe and the open alike ----

struct OpenFailure {
  const char* step;
  std::function<void(RuntimeDouble&)> arrange;
  unsigned failingAllocation;  // the reader open's own heap allocation to fail; 0: none
  std::vector<std::string> released;
  std::string lastCall;  // what the log ends with: nothing is asked after the failing step
};

void PrintTo(const OpenFailure& failure, std::ostream* out) { *out << failure.step; }

void AsScripted(RuntimeDouble&) {}
std::function<void(RuntimeDouble&)> Failing(const char* call, unsigned nth = 1) {
  return [call, nth](RuntimeDouble& runtime) { runtime.Fail(call, E_FAIL, nth); };
}
std::function<void(RuntimeDouble&)> Offering(MediaFormat format) {
  return [format](RuntimeDouble& runtime) { runtime.reader.outputFormats = {format}; };
}

MediaFormat WithFormatBytes(std::size_t count) {
  MediaFormat format = PcmFormat(44100, 2, 16);
  format.format.resize(count);
  return format;
}

MediaFormat ReportingSize(DWORD size) {
  MediaFormat format = PcmFormat(44100, 2, 16);
  format.reportedSize = size;
  return format;
}

const std::vector<std::string> kNone;
const std::vector<std::string> kReader = {"SyncReader"};
const std::vector<std::string> kPropsThenReader = {"OutputProps", "SyncReader"};
constexpr char kSecondGetMediaType[] = "OutputProps.GetMediaType(buffer";

const OpenFailure kOpenFailures[] = {
    {"CreateReader", Failing("WMCreateSyncReader"), 0, kNone, "WMCreateSyncReader(null, 1)"},
    {"NameAllocation", AsScripted, 1, kReader, "WMCreateSyncReader(null, 1)"},
    {"Open", Failing("SyncReader.Open"), 0, kReader, "SyncReader.Open(song.wma)"},
    {"GetOutputFormat", Failing("SyncReader.GetOutputFormat"), 0, kReader,
     "SyncReader.GetOutputFormat(0, 0)"},
    {"NoFormatOffered", [](RuntimeDouble& r) { r.reader.outputFormats = {}; }, 0, kReader,
     "SyncReader.GetOutputFormat(0, 0)"},
    {"MediaTypeSize", Failing("OutputProps.GetMediaType"), 0, kPropsThenReader,
     "OutputProps.GetMediaType(null, 0)"},
    {"MediaTypeAllocation", AsScripted, 2, kPropsThenReader, "OutputProps.GetMediaType(null, 0)"},
    {"MediaTypeData", Failing("OutputProps.GetMediaType", 2), 0, kPropsThenReader,
     kSecondGetMediaType},
    {"NotAudio", Offering(VideoFormat()), 0, kPropsThenReader, kSecondGetMediaType},
    {"NoRate", Offering(PcmFormat(0, 2, 16)), 0, kPropsThenReader, kSecondGetMediaType},
    {"NoChannels", Offering(PcmFormat(44100, 0, 16)), 0, kPropsThenReader, kSecondGetMediaType},
    {"NoWidth", Offering(PcmFormat(44100, 2, 0)), 0, kPropsThenReader, kSecondGetMediaType},
    // Only 8-, 16- and 24-bit samples reach the host intact; 32-bit ones would be misread.
    {"Width32", Offering(PcmFormat(44100, 2, 32)), 0, kPropsThenReader, kSecondGetMediaType},
    {"Width20", Offering(PcmFormat(44100, 2, 20)), 0, kPropsThenReader, kSecondGetMediaType},
    {"NoFormatBlock", Offering(WithFormatBytes(0)), 0, kPropsThenReader, kSecondGetMediaType},
    {"ShortFormatBlock", Offering(WithFormatBytes(15)), 0, kPropsThenReader, kSecondGetMediaType},
    {"TypeShorterThanItsRecord", Offering(ReportingSize(sizeof(WM_MEDIA_TYPE) - 1)), 0,
     kPropsThenReader, kSecondGetMediaType},
    {"SetOutputProps", Failing("SyncReader.SetOutputProps"), 0, kPropsThenReader,
     "SyncReader.SetOutputProps(0, audio:"},
};

class OpenFailureTest : public LeakCheckedTest, public testing::WithParamInterface<OpenFailure> {
 protected:
  // Runs the failing open through the probe or OpenFilterInput and checks what it gave back.
  void Check(bool viaOpen) {
    SCOPED_TRACE(viaOpen ? "OpenFilterInput" : "FilterUnderstandsFormat");
    const OpenFailure& failure = GetParam();
    RuntimeDouble runtime;
    failure.arrange(runtime);
    const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
    const unsigned initializations = ComInitializations();
    // The open allocates its context first; the context lives until the reader open returns.
    const unsigned contextBlocks = viaOpen ? 1 : 0;
    if (failure.failingAllocation != 0) {
      platform_testing::FailHeapAllocation(failure.failingAllocation + contextBlocks);
    }

    if (viaOpen) {
      InputFile input;
      EXPECT_FALSE(input);
      EXPECT_EQ(input.rate, InputFile::kUnwritten32);
      EXPECT_EQ(input.bits, InputFile::kUnwritten16);
      EXPECT_EQ(input.channels, InputFile::kUnwritten16);
      EXPECT_EQ(input.chunkSize, InputFile::kUnwritten32);
    } else {
      EXPECT_EQ(FilterUnderstandsFormat("song.wma"), 0);
    }

    EXPECT_EQ(runtime.releasedObjects(), failure.released);
    for (const FinalRelease& release : runtime.finalReleases()) {
      SCOPED_TRACE(release.object);
      EXPECT_EQ(release.apartmentCount, initializations + 1) << "COM left before the release";
      EXPECT_EQ(release.liveHeapBlocks, heapBlocks + contextBlocks) << "heap freed after it";
    }
    ASSERT_FALSE(runtime.calls().empty());
    EXPECT_THAT(runtime.calls().back(), StartsWith(failure.lastCall));
    EXPECT_EQ(runtime.liveObjects(), 0u);
    EXPECT_EQ(ComInitializations(), initializations);
    EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks);
  }
};

TEST_P(OpenFailureTest, GivesBackEverythingInReverseOrderAndFails) {
  Check(/*viaOpen=*/false);
  Check(/*viaOpen=*/true);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, OpenFailureTest, testing::ValuesIn(kOpenFailures),
                         [](const auto& info) { return std::string(info.param.step); });

}  // namespace
