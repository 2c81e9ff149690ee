#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "runtime/runtime_test_support.h"

namespace {

using namespace runtime_testing;

ComPtr<IWMCodecInfo3> NewCodecInfo() {
  ComPtr<IWMProfileManager> manager;
  EXPECT_EQ(WMCreateProfileManager(manager.put()), S_OK);
  ComPtr<IWMCodecInfo3> info;
  EXPECT_EQ(manager.query_to(IID_IWMCodecInfo3, info), S_OK);
  return info;
}

HRESULT SetVbr(IWMCodecInfo3* info, DWORD codec, BOOL enabled) {
  return info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, codec, u"_VBRENABLED", WMT_TYPE_BOOL,
                                          reinterpret_cast<const BYTE*>(&enabled), sizeof(enabled));
}

struct Format {
  std::u16string description;
  WAVEFORMATEX wave{};
  GUID subtype{};
  DWORD bitrate = 0;
};

Format ReadFormat(IWMCodecInfo3* info, DWORD codec, DWORD index) {
  Format format;
  DWORD length = 0;
  EXPECT_EQ(info->GetCodecFormatDesc(WMMEDIATYPE_Audio, codec, index, nullptr, nullptr, &length),
            S_OK);
  format.description.resize(length);
  ComPtr<IWMStreamConfig> config;
  EXPECT_EQ(info->GetCodecFormatDesc(WMMEDIATYPE_Audio, codec, index, config.put(),
                                     format.description.data(), &length),
            S_OK);
  format.description.resize(length - 1);
  ComPtr<IWMMediaProps> props;
  EXPECT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
  MediaTypeBlock block;
  EXPECT_EQ(ReadMediaType(props.get(), block), S_OK);
  WM_MEDIA_TYPE* type = block.type;
  EXPECT_TRUE(type->majortype == WMMEDIATYPE_Audio);
  EXPECT_TRUE(type->formattype == WMFORMAT_WaveFormatEx);
  EXPECT_GE(type->cbFormat, sizeof(WAVEFORMATEX));
  std::memcpy(&format.wave, type->pbFormat, sizeof(WAVEFORMATEX));
  EXPECT_EQ(type->cbFormat, sizeof(WAVEFORMATEX) + format.wave.cbSize);
  format.subtype = type->subtype;
  EXPECT_EQ(config->GetBitrate(&format.bitrate), S_OK);
  return format;
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Every constant-rate format is a real WAVEFORMATEX of its codec, described in the runtime's
// style with the numbers of the format itself; of the lossy codecs only V8 has variable-rate
// formats. The lossless codec comes third, with variable-rate formats only, one per width, rate
// and channel count, in a fixed order that starts with 44.1 kHz stereo 16-bit; Professional
// comes last, its formats constant-rate.
TEST_F(RuntimeTest, CatalogueFormatsDescribeThemselves) {
  auto info = NewCodecInfo();
  DWORD codecs = 0;
  ASSERT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs), S_OK);
  ASSERT_EQ(codecs, 4u);
  const WORD tags[] = {0x161, 0x160, 0x163, 0x162};
  for (const DWORD codec : {0u, 1u, 3u}) {
    ASSERT_EQ(SetVbr(info.get(), codec, FALSE), S_OK);
    DWORD count = 0;
    ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &count), S_OK);
    EXPECT_GE(count, 20u);
    std::vector<std::string> descriptions;
    for (DWORD i = 0; i < count; ++i) {
      const Format f = ReadFormat(info.get(), codec, i);
      EXPECT_EQ(f.wave.wFormatTag, tags[codec]);
      EXPECT_EQ(f.subtype.Data1, tags[codec]);
      EXPECT_EQ(f.wave.wBitsPerSample, 16);
      EXPECT_GT(f.wave.nBlockAlign, 0);
      EXPECT_EQ(f.wave.nAvgBytesPerSec * 8, f.bitrate);
      char expected[64];
      std::snprintf(expected, sizeof(expected), "%3u kbps, %u kHz, %s CBR", f.bitrate / 1000,
                    f.wave.nSamplesPerSec / 1000, f.wave.nChannels == 1 ? "mono" : "stereo");
      EXPECT_EQ(Narrow(f.description), expected);
      descriptions.push_back(Narrow(f.description));
    }
    // Sorted text is bit-rate order.
    std::sort(descriptions.begin(), descriptions.end());
    for (std::size_t i = 1; i < descriptions.size(); ++i)
      EXPECT_LE(std::stoi(descriptions[i - 1]), std::stoi(descriptions[i]));

    // V8's quality-based formats, each asking for its quality where the average goes; V1 and
    // Professional have none.
    ASSERT_EQ(SetVbr(info.get(), codec, TRUE), S_OK);
    ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &count), S_OK);
    EXPECT_EQ(count, codec == 0 ? 6u * 2 * 2 : 0u);
    for (DWORD i = 0; i < count; ++i) {
      const Format f = ReadFormat(info.get(), codec, i);
      EXPECT_EQ(f.wave.wFormatTag, 0x161);
      EXPECT_GT(f.wave.nBlockAlign, 0);
      EXPECT_EQ(f.wave.nAvgBytesPerSec & 0xFFFFFF00u, 0x7FFFFF00u);
      char expected[64];
      std::snprintf(expected, sizeof(expected), "VBR Quality %u, %u kHz, %u channel 16 bit VBR",
                    f.wave.nAvgBytesPerSec & 0xFF, f.wave.nSamplesPerSec / 1000, f.wave.nChannels);
      EXPECT_EQ(Narrow(f.description), expected);
    }
    ComPtr<IWMStreamConfig> config;
    EXPECT_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, codec, count, config.put()), E_INVALIDARG);
  }

  const DWORD lossless = 2;
  DWORD count = 0;
  ASSERT_EQ(SetVbr(info.get(), lossless, FALSE), S_OK);
  ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, lossless, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(SetVbr(info.get(), lossless, TRUE), S_OK);
  ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, lossless, &count), S_OK);
  ASSERT_EQ(count, 2u * 4 * 6);
  std::set<std::string> descriptions;
  for (DWORD i = 0; i < count; ++i) {
    const Format f = ReadFormat(info.get(), lossless, i);
    EXPECT_EQ(f.wave.wFormatTag, 0x163);
    EXPECT_EQ(f.subtype.Data1, 0x163u);
    EXPECT_EQ(f.wave.cbSize, 18);
    EXPECT_GT(f.wave.nBlockAlign, 0);
    char expected[64];
    std::snprintf(expected, sizeof(expected), "VBR Quality 100, %u kHz, %u channel %u bit VBR",
                  f.wave.nSamplesPerSec / 1000, f.wave.nChannels, f.wave.wBitsPerSample);
    EXPECT_EQ(Narrow(f.description), expected);
    descriptions.insert(Narrow(f.description));
  }
  EXPECT_EQ(descriptions.size(), count);  // one format each
  EXPECT_EQ(Narrow(ReadFormat(info.get(), lossless, 0).description),
            "VBR Quality 100, 44 kHz, 2 channel 16 bit VBR");
  EXPECT_EQ(Narrow(ReadFormat(info.get(), lossless, count - 1).description),
            "VBR Quality 100, 96 kHz, 6 channel 24 bit VBR");
}

// The search that the plug-in makes for its default: the first constant-rate 44.1 kHz 16-bit
// mono or stereo format described as "128 kbps", other than codec 0 format 0.
TEST_F(RuntimeTest, DefaultSearchFindsTheUsualFormat) {
  auto info = NewCodecInfo();
  DWORD codecs = 0;
  ASSERT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs), S_OK);
  DWORD word = 0;
  for (DWORD codec = 0; codec < codecs && word == 0; ++codec) {
    ASSERT_EQ(SetVbr(info.get(), codec, FALSE), S_OK);
    DWORD count = 0;
    ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &count), S_OK);
    for (DWORD i = 0; i < count && word == 0; ++i) {
      const Format f = ReadFormat(info.get(), codec, i);
      if (f.wave.nChannels <= 2 && f.wave.wBitsPerSample == 16 && f.wave.nSamplesPerSec == 44100 &&
          f.description.find(u"128 kbps") != std::u16string::npos &&
          f.description.find(u"(A/V)") == std::u16string::npos)
        word = (codec << 16) + i;
    }
  }
  EXPECT_EQ(word, 7u);
  EXPECT_EQ(Narrow(ReadFormat(info.get(), 0, 7).description), "128 kbps, 44 kHz, stereo CBR");
}

// Names, descriptions and settings follow the size protocol and refuse what they do not know.
TEST_F(RuntimeTest, CodecInfoSizeProtocolAndRefusals) {
  auto info = NewCodecInfo();
  DWORD length = 0;
  ASSERT_EQ(info->GetCodecName(WMMEDIATYPE_Audio, 0, nullptr, &length), S_OK);
  std::u16string name(length, u'\0');
  DWORD shortLength = length - 1;
  EXPECT_EQ(info->GetCodecName(WMMEDIATYPE_Audio, 0, name.data(), &shortLength),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(shortLength, length);
  ASSERT_EQ(info->GetCodecName(WMMEDIATYPE_Audio, 0, name.data(), &length), S_OK);
  EXPECT_EQ(std::u16string(name.c_str()), u"Windows Media Audio V8");

  ComPtr<IWMStreamConfig> config;
  shortLength = 3;
  std::u16string description(3, u'\0');
  EXPECT_EQ(info->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, config.put(), description.data(),
                                     &shortLength),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_FALSE(config);

  DWORD count = 0;
  EXPECT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Video, &count), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 4, &count), E_INVALIDARG);
  EXPECT_EQ(info->GetCodecName(WMMEDIATYPE_Video, 0, nullptr, &length), E_INVALIDARG);
  const DWORD value = 1;
  EXPECT_EQ(info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, u"_NOSUCHSETTING", WMT_TYPE_BOOL,
                                             reinterpret_cast<const BYTE*>(&value), 4),
            E_INVALIDARG);
  EXPECT_EQ(info->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, u"_VBRENABLED", WMT_TYPE_BOOL,
                                             reinterpret_cast<const BYTE*>(&value), 2),
            E_INVALIDARG);
  // The setting belongs to one codec and reads back.
  ASSERT_EQ(SetVbr(info.get(), 1, TRUE), S_OK);
  WMT_ATTR_DATATYPE type{};
  DWORD read = 7;
  DWORD size = sizeof(read);
  ASSERT_EQ(info->GetCodecEnumerationSetting(WMMEDIATYPE_Audio, 1, u"_VBRENABLED", &type,
                                             reinterpret_cast<BYTE*>(&read), &size),
            S_OK);
  EXPECT_EQ(type, WMT_TYPE_BOOL);
  EXPECT_EQ(read, 1u);
  ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &count), S_OK);
  EXPECT_GT(count, 0u);
}

// A profile keeps copies of the streams added to it: later changes to the caller's stream
// configuration do not reach it, and a stream needs a number of its own.
TEST_F(RuntimeTest, ProfileKeepsCopiesOfItsStreams) {
  ComPtr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(manager.put()), S_OK);
  ComPtr<IWMProfile> profile;
  ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_9_0, profile.put()), S_OK);
  ComPtr<IWMCodecInfo3> info;
  ASSERT_EQ(manager.query_to(IID_IWMCodecInfo3, info), S_OK);
  ComPtr<IWMStreamConfig> config;
  ASSERT_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, 0, 7, config.put()), S_OK);
  EXPECT_EQ(profile->AddStream(config.get()), NS_E_INVALID_REQUEST);  // no number yet
  EXPECT_EQ(config->SetStreamNumber(0), E_INVALIDARG);
  ASSERT_EQ(config->SetStreamNumber(1), S_OK);
  ASSERT_EQ(profile->AddStream(config.get()), S_OK);
  EXPECT_EQ(profile->AddStream(config.get()), NS_E_INVALID_REQUEST);  // number taken
  ASSERT_EQ(config->SetBitrate(1), S_OK);

  DWORD count = 0;
  ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<IWMStreamConfig> stored;
  ASSERT_EQ(profile->GetStream(0, stored.put()), S_OK);
  DWORD bitrate = 0;
  ASSERT_EQ(stored->GetBitrate(&bitrate), S_OK);
  EXPECT_EQ(bitrate, 128000u);
  WMT_VERSION version{};
  ASSERT_EQ(profile->GetVersion(&version), S_OK);
  EXPECT_EQ(version, WMT_VER_9_0);
  EXPECT_EQ(profile->RemoveStreamByNumber(2), NS_E_INVALID_REQUEST);
  EXPECT_EQ(profile->RemoveStreamByNumber(1), S_OK);
}

}  // namespace
