// The double's objects behave like the runtime's where the filter relies on them: the size
// protocol, media types laid out in the caller's block, the end of the header's attributes, the
// bit-rate mode of a codec's format lists, the writer's order and what it copies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/com_ptr.h"
#include "double/runtime_double.h"
#include "support/leak_checked_test.h"

namespace runtime_double {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr BYTE kSentinel = 0xAB;

// A caller's media type over the format's own bytes.
WM_MEDIA_TYPE TypeOf(MediaFormat& format) {
  return {format.majorType,
          format.subtype,
          format.fixedSizeSamples,
          format.temporalCompression,
          format.sampleSize,
          format.formatType,
          nullptr,
          static_cast<ULONG>(format.format.size()),
          format.format.data()};
}

class DoubleObjectsTest : public LeakCheckedTest {
 protected:
  ComPtr<IWMSyncReader> OpenReader() {
    ComPtr<IWMSyncReader> reader;
    EXPECT_EQ(WMCreateSyncReader(nullptr, 1, reader.put()), S_OK);
    EXPECT_EQ(reader->Open(u"song.wma"), S_OK);
    return reader;
  }

  ComPtr<IWMCodecInfo3> CodecInfo() {
    ComPtr<IWMProfileManager> manager;
    EXPECT_EQ(WMCreateProfileManager(manager.put()), S_OK);
    ComPtr<IWMCodecInfo3> codecInfo;
    EXPECT_EQ(manager.query_to(IID_IWMCodecInfo3, codecInfo), S_OK);
    return codecInfo;
  }

  RuntimeDouble runtime;
};

// Each object answers for the interfaces the runtime's does, and for nothing else.
TEST_F(DoubleObjectsTest, ObjectsAnswerForTheRuntimesInterfaces) {
  struct Answer {
    const IID* iid;
    bool answered;
  };
  const auto expectAnswers = [](IUnknown* object, std::initializer_list<Answer> answers) {
    for (const auto& [iid, answered] : answers) {
      IUnknown* found = nullptr;
      EXPECT_EQ(object->QueryInterface(*iid, reinterpret_cast<void**>(&found)),
                answered ? S_OK : E_NOINTERFACE);
      if (found != nullptr) found->Release();
    }
  };
  ComPtr<IWMSyncReader> reader = OpenReader();
  expectAnswers(reader.get(), {{&IID_IWMSyncReader, true},
                               {&IID_IWMHeaderInfo, true},
                               {&IID_IWMHeaderInfo2, true},
                               {&IID_IWMHeaderInfo3, true},
                               {&IID_IWMWriter, false}});
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  expectAnswers(writer.get(),
                {{&IID_IWMWriter, true}, {&IID_IWMHeaderInfo, true}, {&IID_IWMSyncReader, false}});
  runtime.codecs = {{u"Alpha", {WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}}};
  ComPtr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(manager.put()), S_OK);
  expectAnswers(manager.get(), {{&IID_IWMProfileManager, true},
                                {&IID_IWMCodecInfo, true},
                                {&IID_IWMCodecInfo2, true},
                                {&IID_IWMCodecInfo3, true},
                                {&IID_IWMProfile, false}});
  ComPtr<IWMCodecInfo> codecInfo;
  ASSERT_EQ(manager.query_to(IID_IWMCodecInfo, codecInfo), S_OK);
  ComPtr<IWMStreamConfig> config;
  ASSERT_EQ(codecInfo->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, config.put()), S_OK);
  expectAnswers(
      config.get(),
      {{&IID_IWMStreamConfig, true}, {&IID_IWMMediaProps, true}, {&IID_IWMInputMediaProps, false}});
  ComPtr<IWMOutputMediaProps> props;
  ASSERT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);
  expectAnswers(props.get(), {{&IID_IWMOutputMediaProps, true}, {&IID_IWMMediaProps, true}});
}

TEST_F(DoubleObjectsTest, ReaderTakesBackOnlyAFormatItOffered) {
  ComPtr<IWMSyncReader> reader = OpenReader();
  ComPtr<IWMOutputMediaProps> props;
  ASSERT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);
  EXPECT_EQ(reader->GetOutputFormat(0, 1, props.put()), E_INVALIDARG);
  EXPECT_FALSE(props);
  ASSERT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);
  ASSERT_EQ(reader->SetOutputProps(0, props.get()), S_OK);

  MediaFormat other = PcmFormat(8000, 1, 8);
  WM_MEDIA_TYPE type = TypeOf(other);
  ASSERT_EQ(props->SetMediaType(&type), S_OK);
  EXPECT_EQ(reader->SetOutputProps(0, props.get()), NS_E_INVALID_OUTPUT_FORMAT);
  ASSERT_EQ(runtime.log().mediaTypesSet.size(), 1u);
  EXPECT_EQ(runtime.log().mediaTypesSet[0].object, "OutputProps");
  EXPECT_EQ(runtime.log().mediaTypesSet[0].format, other);
}

TEST_F(DoubleObjectsTest, MediaTypeFollowsTheSizeProtocolAndPointsIntoTheCallersBlock) {
  runtime.reader.outputFormats = {PcmFormat(48000, 2, 24)};
  ComPtr<IWMSyncReader> reader = OpenReader();
  ComPtr<IWMOutputMediaProps> props;
  ASSERT_EQ(reader->GetOutputFormat(0, 0, props.put()), S_OK);

  DWORD size = 0;
  ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
  ASSERT_EQ(size, sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX));
  std::vector<BYTE> block(size, kSentinel);
  DWORD tooSmall = size - 1;
  EXPECT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(block.data()), &tooSmall),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_THAT(block, ::testing::Each(kSentinel));

  ASSERT_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(block.data()), &size), S_OK);
  const auto* type = reinterpret_cast<const WM_MEDIA_TYPE*>(block.data());
  EXPECT_EQ(type->majortype, WMMEDIATYPE_Audio);
  EXPECT_EQ(type->pbFormat, block.data() + sizeof(WM_MEDIA_TYPE));
  EXPECT_EQ(type->cbFormat, sizeof(WAVEFORMATEX));
  WAVEFORMATEX wave;
  std::memcpy(&wave, type->pbFormat, sizeof(wave));
  EXPECT_EQ(wave.nSamplesPerSec, 48000u);
  EXPECT_EQ(wave.wBitsPerSample, 24);
  EXPECT_EQ(wave.nBlockAlign, 6);
}

TEST_F(DoubleObjectsTest, HeaderAttributesComeInOrderAndEndPastTheLast) {
  runtime.reader.attributes = {StringAttribute(u"Title", u"Song"),
                               QwordAttribute(u"Duration", 1'800'000'000)};
  ComPtr<IWMSyncReader> reader = OpenReader();
  ComPtr<IWMHeaderInfo3> header;
  ASSERT_EQ(reader.query_to(IID_IWMHeaderInfo3, header), S_OK);

  WORD nameLength = 0;
  DWORD valueLength = 0;
  WMT_ATTR_DATATYPE type;
  WORD language;
  ASSERT_EQ(header->GetAttributeByIndexEx(0, 0, nullptr, &nameLength, &type, &language, nullptr,
                                          &valueLength),
            S_OK);
  EXPECT_EQ(nameLength, 6);  // "Title" and its terminator
  EXPECT_EQ(valueLength, 10u);
  std::vector<WCHAR> name(nameLength);
  std::vector<BYTE> value(valueLength);
  WORD shortName = nameLength - 1;
  EXPECT_EQ(header->GetAttributeByIndexEx(0, 0, name.data(), &shortName, &type, &language,
                                          value.data(), &valueLength),
            ASF_E_BUFFERTOOSMALL);
  ASSERT_EQ(header->GetAttributeByIndexEx(0, 0, name.data(), &nameLength, &type, &language,
                                          value.data(), &valueLength),
            S_OK);
  EXPECT_EQ(std::u16string(name.data()), u"Title");
  EXPECT_EQ(type, WMT_TYPE_STRING);
  EXPECT_EQ(value, Utf16Bytes(u"Song"));
  EXPECT_EQ(header->GetAttributeByIndexEx(0, 2, nullptr, &nameLength, &type, &language, nullptr,
                                          &valueLength),
            E_INVALIDARG);

  WORD stream = 0;
  WORD length = 0;
  ASSERT_EQ(header->GetAttributeByName(&stream, u"Duration", &type, nullptr, &length), S_OK);
  QWORD duration = 0;
  ASSERT_EQ(header->GetAttributeByName(&stream, u"Duration", &type,
                                       reinterpret_cast<BYTE*>(&duration), &length),
            S_OK);
  EXPECT_EQ(duration, 1'800'000'000u);
  EXPECT_EQ(header->GetAttributeByName(&stream, u"duration", &type, nullptr, &length),
            ASF_E_NOTFOUND);
}

TEST_F(DoubleObjectsTest, CodecEntryLengthsComeFirstAndAMissingEntryFails) {
  runtime.reader.codecs = {{u"Windows Media Audio 9.2", u"128 kbps, 44 kHz, stereo"}};
  ComPtr<IWMSyncReader> reader = OpenReader();
  ComPtr<IWMHeaderInfo3> header;
  ASSERT_EQ(reader.query_to(IID_IWMHeaderInfo3, header), S_OK);
  WORD nameLength = 0, descriptionLength = 0, infoLength = 0;
  WMT_CODEC_INFO_TYPE type;
  ASSERT_EQ(header->GetCodecInfo(0, &nameLength, nullptr, &descriptionLength, nullptr, &type,
                                 &infoLength, nullptr),
            S_OK);
  EXPECT_EQ(nameLength, 24);
  EXPECT_EQ(descriptionLength, 25);
  EXPECT_EQ(infoLength, 0);
  std::vector<WCHAR> name(nameLength), description(descriptionLength);
  ASSERT_EQ(header->GetCodecInfo(0, &nameLength, name.data(), &descriptionLength,
                                 description.data(), &type, &infoLength, nullptr),
            S_OK);
  EXPECT_EQ(std::u16string(description.data()), u"128 kbps, 44 kHz, stereo");
  EXPECT_EQ(header->GetCodecInfo(1, &nameLength, nullptr, &descriptionLength, nullptr, &type,
                                 &infoLength, nullptr),
            E_INVALIDARG);
}

TEST_F(DoubleObjectsTest, SamplesComeInOrderAndThenTheEnd) {
  runtime.reader.samples = {{Bytes16({1, 2})}, {}, {{9}, /*outputNumber=*/1}};
  ComPtr<IWMSyncReader> reader = OpenReader();
  std::vector<std::vector<BYTE>> delivered;
  std::vector<DWORD> outputs;
  for (;;) {
    ComPtr<INSSBuffer> sample;
    DWORD output = 7;
    const HRESULT result =
        reader->GetNextSample(0, sample.put(), nullptr, nullptr, nullptr, &output, nullptr);
    if (result == NS_E_NO_MORE_SAMPLES) break;
    ASSERT_EQ(result, S_OK);
    BYTE* bytes = nullptr;
    DWORD length = 0;
    ASSERT_EQ(sample->GetBufferAndLength(&bytes, &length), S_OK);
    ASSERT_NE(bytes, nullptr);
    delivered.emplace_back(bytes, bytes + length);
    outputs.push_back(output);
  }
  EXPECT_THAT(delivered, ElementsAre(ElementsAre(1, 0, 2, 0), ElementsAre(), ElementsAre(9)));
  EXPECT_THAT(outputs, ElementsAre(0u, 0u, 1u));
  EXPECT_THAT(runtime.releasedObjects(),
              ElementsAre("SampleBuffer", "SampleBuffer", "SampleBuffer"));
}

TEST_F(DoubleObjectsTest, VbrSettingChoosesTheFormatListOfTheCodec) {
  runtime.codecs = {
      {u"Alpha",
       {WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16),
        WmaFormat(u"64 kbps, 44 kHz, stereo CBR", 44100, 2, 16)},
       {WmaFormat(u"Quality 90, 44 kHz, stereo VBR", 44100, 2, 16)}},
      {u"Beta (CBR only)", {WmaFormat(u"32 kbps, 22 kHz, mono CBR", 22050, 1, 16)}, {}},
  };
  ComPtr<IWMCodecInfo3> codecInfo = CodecInfo();
  DWORD count = 0;
  ASSERT_EQ(codecInfo->GetCodecInfoCount(WMMEDIATYPE_Audio, &count), S_OK);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &count), S_OK);
  EXPECT_EQ(count, 2u);

  const BOOL vbr = TRUE;
  for (DWORD codec : {0u, 1u}) {
    ASSERT_EQ(codecInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, codec, u"_VBRENABLED",
                                                    WMT_TYPE_BOOL,
                                                    reinterpret_cast<const BYTE*>(&vbr), 4),
              S_OK);
  }
  ASSERT_EQ(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, 1, &count), S_OK);
  EXPECT_EQ(count, 0u);

  DWORD length = 0;
  ASSERT_EQ(codecInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, nullptr, nullptr, &length),
            S_OK);
  std::vector<WCHAR> description(length);
  ComPtr<IWMStreamConfig> config;
  DWORD shortLength = length - 1;
  EXPECT_EQ(codecInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, config.put(), description.data(),
                                          &shortLength),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_FALSE(config);
  ASSERT_EQ(codecInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, config.put(), description.data(),
                                          &length),
            S_OK);
  EXPECT_EQ(std::u16string(description.data()), u"Quality 90, 44 kHz, stereo VBR");
  ComPtr<IWMMediaProps> props;
  EXPECT_EQ(config.query_to(IID_IWMMediaProps, props), S_OK);
  EXPECT_EQ(codecInfo->GetCodecFormat(WMMEDIATYPE_Audio, 0, 1, config.put()), E_INVALIDARG);
  EXPECT_EQ(runtime.log().enumerationSettings.size(), 2u);
  EXPECT_EQ(runtime.log().enumerationSettings[1].value.AsDword(), 1u);
}

TEST_F(DoubleObjectsTest, WriterCopiesWhatItIsGivenAndKeepsItsOrder) {
  runtime.codecs = {{u"Alpha", {WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}, {}}};
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  {
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(WMCreateProfileManager(manager.put()), S_OK);
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_9_0, profile.put()), S_OK);
    ComPtr<IWMCodecInfo3> codecInfo;
    ASSERT_EQ(manager.query_to(IID_IWMCodecInfo3, codecInfo), S_OK);
    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(codecInfo->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, config.put()), S_OK);
    EXPECT_EQ(profile->AddStream(config.get()), NS_E_INVALID_REQUEST);  // no stream number
    ASSERT_EQ(config->SetStreamNumber(1), S_OK);
    ASSERT_EQ(profile->AddStream(config.get()), S_OK);
    ASSERT_EQ(writer->SetProfile(profile.get()), S_OK);
  }

  ComPtr<IWMInputMediaProps> input;
  ASSERT_EQ(writer->GetInputProps(0, input.put()), S_OK);
  MediaFormat wanted = PcmFormat(44100, 2, 24);
  WM_MEDIA_TYPE type = TypeOf(wanted);
  reinterpret_cast<WAVEFORMATEX*>(wanted.format.data())->nChannels = 0;
  ASSERT_EQ(input->SetMediaType(&type), S_OK);
  EXPECT_EQ(writer->SetInputProps(0, input.get()), NS_E_INVALID_INPUT_FORMAT);
  reinterpret_cast<WAVEFORMATEX*>(wanted.format.data())->nChannels = 2;
  ASSERT_EQ(input->SetMediaType(&type), S_OK);
  ASSERT_EQ(writer->SetInputProps(0, input.get()), S_OK);
  input.reset();

  EXPECT_EQ(writer->BeginWriting(), NS_E_NOT_CONFIGURED);  // no file name yet
  ASSERT_EQ(writer->SetOutputFilename(u"out.wma"), S_OK);
  ComPtr<IWMHeaderInfo> header;
  ASSERT_EQ(writer.query_to(IID_IWMHeaderInfo, header), S_OK);
  const std::vector<BYTE> author = Utf16Bytes(u"Ann");
  EXPECT_EQ(header->SetAttribute(0, u"Author", WMT_TYPE_STRING, author.data(), 8), S_OK);
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  EXPECT_EQ(header->SetAttribute(0, u"Author", WMT_TYPE_STRING, author.data(), 8),
            NS_E_INVALID_REQUEST);

  ComPtr<INSSBuffer> sample;
  ASSERT_EQ(writer->AllocateSample(4, sample.put()), S_OK);
  BYTE* bytes = nullptr;
  DWORD length = 0;
  ASSERT_EQ(sample->GetBufferAndLength(&bytes, &length), S_OK);
  EXPECT_EQ(length, 4u);
  bytes[0] = 1;
  bytes[1] = 2;
  ASSERT_EQ(sample->SetLength(2), S_OK);
  ASSERT_EQ(writer->WriteSample(0, 3715192, 0, sample.get()), S_OK);
  sample.reset();
  ASSERT_EQ(writer->EndWriting(), S_OK);
  EXPECT_EQ(writer->EndWriting(), NS_E_INVALID_REQUEST);

  const RuntimeLog& log = runtime.log();
  ASSERT_EQ(log.profilesSet.size(), 1u);
  EXPECT_EQ(log.profilesSet[0].streams[0].number, 1);
  EXPECT_EQ(log.profilesSet[0].streams[0].format, runtime.codecs[0].cbr[0].format);
  ASSERT_EQ(log.mediaTypesSet.size(), 2u);
  EXPECT_EQ(log.mediaTypesSet[1].object, "InputProps");
  EXPECT_EQ(log.mediaTypesSet[1].format.wave().nBlockAlign, 6);
  ASSERT_EQ(log.attributesSet.size(), 2u);
  EXPECT_EQ(log.attributesSet[0].value.AsText(), u"Ann");
  EXPECT_EQ(log.attributesSet[0].length, 8);
  EXPECT_THAT(log.outputFiles, ElementsAre(u"out.wma"));
  ASSERT_EQ(log.samplesWritten.size(), 1u);
  EXPECT_EQ(log.samplesWritten[0].time, 3715192u);
  EXPECT_THAT(log.samplesWritten[0].bytes, ElementsAre(1, 2));
  EXPECT_THAT(runtime.callsTo("Writer.SetProfile"),
              ElementsAre("Writer.SetProfile(#1 audio: tag 0x0161, 2 ch, 44100 Hz, 16000 B/s, "
                          "align 2000, 16 bit, cbSize 10)"));
  EXPECT_THAT(runtime.callsTo("HeaderInfo."),
              ElementsAre("HeaderInfo.SetAttribute(0, Author, STRING, \"Ann\", 8)",
                          "HeaderInfo.SetAttribute(0, Author, STRING, \"Ann\", 8)"));
}

}  // namespace
}  // namespace runtime_double
