// The builders make the bytes the runtime would hold, and the failure plan counts as promised.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "double/failure_plan.h"
#include "double/scripts.h"

namespace runtime_double {
namespace {

using ::testing::ElementsAre;

TEST(Scripts, BuildersMakeTheRuntimesBytes) {
  const WAVEFORMATEX pcm = PcmFormat(44100, 2, 24).wave();
  EXPECT_EQ(pcm.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(pcm.nBlockAlign, 6);
  EXPECT_EQ(pcm.nAvgBytesPerSec, 264600u);
  EXPECT_EQ(pcm.cbSize, 0);
  EXPECT_TRUE(IsConsistentPcm(pcm));
  EXPECT_FALSE(IsConsistentPcm(PcmFormat(0, 2, 16).wave()));

  const MediaFormat wma = WmaMediaFormat(44100, 6, 16);
  EXPECT_EQ(wma.format.size(), sizeof(WAVEFORMATEX) + 10);
  EXPECT_EQ(wma.wave().cbSize, 10);
  EXPECT_NE(VideoFormat().majorType, WMMEDIATYPE_Audio);

  EXPECT_THAT(Bytes16({-2, 0x1234}), ElementsAre(0xFE, 0xFF, 0x34, 0x12));
  EXPECT_THAT(Bytes24({-1, 0x123456, -8388608}),
              ElementsAre(0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80));

  const Attribute title = StringAttribute(u"Title", u"Hi");
  EXPECT_EQ(title.value.type, WMT_TYPE_STRING);
  EXPECT_THAT(title.value.bytes, ElementsAre('H', 0, 'i', 0, 0, 0));
  EXPECT_EQ(title.value.AsText(), u"Hi");
  EXPECT_THAT(Utf16Bytes(u"Hi", /*terminated=*/false), ElementsAre('H', 0, 'i', 0));
  EXPECT_EQ(QwordAttribute(u"Duration", 0x0102030405060708).value.AsQword(), 0x0102030405060708u);
  EXPECT_EQ(BoolAttribute(u"IsVBR", true).value.AsDword(), 1u);
  EXPECT_EQ(DwordAttribute(u"Bitrate", 128000).value.bytes.size(), 4u);
}

TEST(FailurePlan, CountsCallsFromWhenTheFailureIsPlanned) {
  FailurePlan plan;
  EXPECT_EQ(plan.Next("SyncReader.Open"), S_OK);
  plan.FailNth("SyncReader.Open", E_FAIL, 2);
  plan.FailNth("SyncReader.Open", E_ACCESSDENIED, 3);
  EXPECT_EQ(plan.Next("SyncReader.Open"), S_OK);
  EXPECT_EQ(plan.Next("SyncReader.Open"), E_FAIL);
  EXPECT_EQ(plan.Next("SyncReader.Open"), E_ACCESSDENIED);
  EXPECT_EQ(plan.Next("SyncReader.Open"), S_OK);
  EXPECT_EQ(plan.Next("SyncReader.Close"), S_OK);
  plan.FailEvery("SyncReader.Close", E_FAIL);
  EXPECT_EQ(plan.Next("SyncReader.Close"), E_FAIL);
  EXPECT_EQ(plan.Next("SyncReader.Close"), E_FAIL);
}

TEST(FailurePlan, KnowsTheCallsTheDoubleMakes) {
  EXPECT_TRUE(IsFailableCall("WMCreateProfileManager"));
  EXPECT_TRUE(IsFailableCall("CodecInfo.GetCodecInfoCount"));
  EXPECT_TRUE(IsFailableCall("StreamConfig.QueryInterface(IWMMediaProps)"));
  EXPECT_FALSE(IsFailableCall("SyncReader.SetRange"));  // not used by the filter
  EXPECT_FALSE(IsFailableCall("HeaderInfo.QueryInterface(IWMHeaderInfo3)"));
  EXPECT_FALSE(IsFailableCall("Writer.QueryInterface(IWMHeaderInfo"));
}

}  // namespace
}  // namespace runtime_double
