// The double's own promises: reference counting and live objects, failures on demand, the logs,
// and misuse reported loudly.
#include "double/runtime_double.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <platform_testing.h>

#include "common/com_ptr.h"
#include "support/leak_checked_test.h"

namespace runtime_double {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

class RuntimeDoubleTest : public LeakCheckedTest {
 protected:
  RuntimeDouble runtime;
};

TEST_F(RuntimeDoubleTest, CountsReferencesAndLogsTheFinalReleaseOfEachObject) {
  IWMSyncReader* reader = nullptr;
  ASSERT_EQ(WMCreateSyncReader(nullptr, 1, &reader), S_OK);
  EXPECT_EQ(runtime.liveObjects(), 1u);
  EXPECT_EQ(reader->AddRef(), 2u);

  // The header interfaces are the reader's own, with its identity.
  IWMHeaderInfo3* header = nullptr;
  ASSERT_EQ(reader->QueryInterface(IID_IWMHeaderInfo3, reinterpret_cast<void**>(&header)), S_OK);
  IUnknown* fromReader = nullptr;
  IUnknown* fromHeader = nullptr;
  reader->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromReader));
  header->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromHeader));
  EXPECT_EQ(fromReader, fromHeader);
  fromReader->Release();
  fromHeader->Release();

  EXPECT_EQ(header->Release(), 2u);
  EXPECT_EQ(reader->Release(), 1u);
  EXPECT_TRUE(runtime.finalReleases().empty());
  EXPECT_EQ(reader->Release(), 0u);
  EXPECT_EQ(runtime.liveObjects(), 0u);
  EXPECT_THAT(runtime.releasedObjects(), ElementsAre("SyncReader"));
  std::vector<ULONG> left;
  for (const ReleaseCall& release : runtime.log().releases) left.push_back(release.referencesLeft);
  EXPECT_THAT(left, ElementsAre(4u, 3u, 2u, 1u, 0u));
}

TEST_F(RuntimeDoubleTest, NotesTheApartmentAndHeapAtEachFinalRelease) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  IWMProfileManager* manager = nullptr;
  ASSERT_EQ(WMCreateProfileManager(&manager), S_OK);
  IWMProfile* profile = nullptr;
  ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_9_0, &profile), S_OK);
  void* block = HeapAlloc(GetProcessHeap(), 0, 16);
  const std::size_t heapBlocks = platform_testing::LiveHeapBlocks();

  profile->Release();
  HeapFree(GetProcessHeap(), 0, block);
  manager->Release();
  CoUninitialize();

  const auto& releases = runtime.finalReleases();
  ASSERT_EQ(releases.size(), 2u);
  EXPECT_EQ(releases[0].object, "Profile");
  EXPECT_EQ(releases[0].serial, 2u);
  EXPECT_EQ(releases[0].apartmentCount, 1u);
  EXPECT_EQ(releases[0].liveHeapBlocks, heapBlocks);
  EXPECT_EQ(releases[1].object, "ProfileManager");
  EXPECT_EQ(releases[1].serial, 1u);
  EXPECT_EQ(releases[1].liveHeapBlocks, heapBlocks - 1);
  EXPECT_EQ(releases[1].callsBefore, 2u);  // the factory and CreateEmptyProfile
}

TEST_F(RuntimeDoubleTest, FailsTheNthCallOfAMethodAndLeavesItsOutputsAlone) {
  runtime.reader.outputFormats = {PcmFormat(44100, 2, 16), PcmFormat(22050, 1, 8)};
  runtime.Fail("SyncReader.GetOutputFormat", NS_E_INVALID_REQUEST, /*nth=*/2);
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(WMCreateSyncReader(nullptr, 1, reader.put()), S_OK);
  ASSERT_EQ(reader->Open(u"song.wma"), S_OK);

  ComPtr<IWMOutputMediaProps> first;
  EXPECT_EQ(reader->GetOutputFormat(0, 0, first.put()), S_OK);
  auto* sentinel = reinterpret_cast<IWMOutputMediaProps*>(0xdeadbeef);
  IWMOutputMediaProps* second = sentinel;
  EXPECT_EQ(reader->GetOutputFormat(0, 1, &second), NS_E_INVALID_REQUEST);
  EXPECT_EQ(second, sentinel);
  ComPtr<IWMOutputMediaProps> third;
  EXPECT_EQ(reader->GetOutputFormat(0, 1, third.put()), S_OK);

  runtime.FailEvery("SyncReader.Close", E_FAIL);
  EXPECT_EQ(reader->Close(), E_FAIL);
  EXPECT_EQ(reader->Close(), E_FAIL);
}

TEST_F(RuntimeDoubleTest, FailsFactoriesAndQueriesForAChosenInterface) {
  runtime.Fail("WMCreateWriter", E_OUTOFMEMORY);
  runtime.Fail("ProfileManager.QueryInterface(IWMCodecInfo3)", E_NOINTERFACE);

  IWMWriter* writer = reinterpret_cast<IWMWriter*>(0xdeadbeef);
  EXPECT_EQ(WMCreateWriter(nullptr, &writer), E_OUTOFMEMORY);
  EXPECT_EQ(writer, nullptr);
  EXPECT_EQ(runtime.liveObjects(), 0u);

  ComPtr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(manager.put()), S_OK);
  ComPtr<IWMCodecInfo3> codecInfo;
  EXPECT_EQ(manager.query_to(IID_IWMCodecInfo3, codecInfo), E_NOINTERFACE);
  EXPECT_FALSE(codecInfo);
  ComPtr<IWMCodecInfo> plain;
  EXPECT_EQ(manager.query_to(IID_IWMCodecInfo, plain), S_OK);
  EXPECT_EQ(manager.query_to(IID_IWMCodecInfo3, codecInfo), S_OK);
}

TEST_F(RuntimeDoubleTest, RefusesToPlanACallItDoesNotKnow) {
  EXPECT_NONFATAL_FAILURE(runtime.Fail("SyncReader.Opne", E_FAIL), "no call named");
  EXPECT_NONFATAL_FAILURE(runtime.Fail("SyncReader.QueryInterface(IWMHeaderInfo4)", E_FAIL),
                          "no call named");
  EXPECT_NONFATAL_FAILURE(runtime.Fail("Writer.BeginWriting", S_OK), "failure code");
}

TEST_F(RuntimeDoubleTest, LogsCallsWithTheArgumentsThatMatter) {
  runtime.reader.samples = {{Bytes16({1, -1})}};
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(WMCreateSyncReader(nullptr, 1, reader.put()), S_OK);
  ASSERT_EQ(reader->Open(u"d\u00e9j\u00e0.wma"), S_OK);
  const BOOL discrete = TRUE;
  reader->SetOutputSetting(0, u"EnableDiscreteOutput", WMT_TYPE_BOOL,
                           reinterpret_cast<const BYTE*>(&discrete), sizeof(discrete));
  const DWORD speakers = 2;
  reader->SetOutputSetting(0, u"SpeakerConfig", WMT_TYPE_DWORD,
                           reinterpret_cast<const BYTE*>(&speakers), sizeof(speakers));
  ComPtr<IWMOutputMediaProps> props;
  reader->GetOutputFormat(0, 0, props.put());
  DWORD size = 0;
  props->GetMediaType(nullptr, &size);
  reader->SetOutputProps(0, props.get());
  ComPtr<INSSBuffer> sample;
  reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr),
            NS_E_NO_MORE_SAMPLES);
  reader->Close();

  EXPECT_THAT(
      runtime.calls(),
      ElementsAre("WMCreateSyncReader(null, 1)", "SyncReader.Open(d\u00e9j\u00e0.wma)",
                  "SyncReader.SetOutputSetting(0, EnableDiscreteOutput, BOOL, 1, 4)",
                  "SyncReader.SetOutputSetting(0, SpeakerConfig, DWORD, 2, 4)",
                  "SyncReader.GetOutputFormat(0, 0)", "OutputProps.GetMediaType(null, 0)",
                  "SyncReader.SetOutputProps(0, audio: tag 0x0001, 2 ch, 44100 Hz, 176400 B/s, "
                  "align 4, 16 bit, cbSize 0)",
                  "SyncReader.GetNextSample(0)", "SyncReader.GetNextSample(0)",
                  "SyncReader.Close()"));
  EXPECT_THAT(runtime.log().openedFiles, ElementsAre(u"d\u00e9j\u00e0.wma"));
  EXPECT_THAT(runtime.log().outputSettings,
              ElementsAre(Field(&OutputSettingCall::name, u"EnableDiscreteOutput"),
                          Field(&OutputSettingCall::name, u"SpeakerConfig")));
  EXPECT_EQ(runtime.log().outputSettings[1].value.AsDword(), 2u);
  EXPECT_THAT(runtime.callsTo("SyncReader.GetNext"),
              ElementsAre("SyncReader.GetNextSample(0)", "SyncReader.GetNextSample(0)"));
}

TEST_F(RuntimeDoubleTest, ReportsMisuseLoudly) {
  IWMSyncReader* reader = nullptr;
  ASSERT_EQ(WMCreateSyncReader(nullptr, 1, &reader), S_OK);
  EXPECT_NONFATAL_FAILURE(EXPECT_EQ(reader->Close(), NS_E_INVALID_REQUEST), "not open");
  EXPECT_NONFATAL_FAILURE(reader->SetRange(0, 0), "unexpected call SyncReader.SetRange");
  ASSERT_EQ(reader->Open(u"song.wma"), S_OK);
  ASSERT_EQ(reader->Close(), S_OK);
  INSSBuffer* sample = nullptr;
  EXPECT_NONFATAL_FAILURE(
      reader->GetNextSample(0, &sample, nullptr, nullptr, nullptr, nullptr, nullptr), "closed");

  EXPECT_EQ(reader->Release(), 0u);
  // The memory outlives the final release, so these are reported, not undefined.
  EXPECT_NONFATAL_FAILURE(reader->Release(), "no references left");
  EXPECT_NONFATAL_FAILURE(reader->Open(u"again.wma"), "after its final release");
}

TEST_F(RuntimeDoubleTest, NamesTheObjectsStillReferenced) {
  IWMWriter* writer = nullptr;
  ASSERT_EQ(WMCreateWriter(nullptr, &writer), S_OK);
  EXPECT_NONFATAL_FAILURE(runtime.ExpectAllReleased(), "Writer #1 is still referenced");
  writer->Release();
  runtime.ExpectAllReleased();
}

TEST(RuntimeDoubleLifetime, AFactoryWithNoDoubleInstalledFailsTheTest) {
  IWMSyncReader* reader = nullptr;
  EXPECT_NONFATAL_FAILURE(EXPECT_EQ(WMCreateSyncReader(nullptr, 1, &reader), E_UNEXPECTED),
                          "no RuntimeDouble installed");
  EXPECT_EQ(reader, nullptr);
}

}  // namespace
}  // namespace runtime_double
