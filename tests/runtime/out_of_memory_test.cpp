// Out of memory at every allocation of every method of the runtime's objects: the plug-in is
// built without exceptions, so nothing may cross a method but a result, and an object whose
// call failed for memory stays failed rather than going on with something lost.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "runtime/runtime_test_support.h"

namespace {

// The allocation to fail on this thread, counting from 0 (-1: none), and whether it failed.
thread_local long tFailAt = -1;
thread_local bool tFailed = false;

}  // namespace

// Every allocation comes through here: nothrow and array new too, each replaced so that none
// is left to a sanitizer's own allocator, which would take the free below for a mismatch.
void* operator new(std::size_t size) {
  if (tFailAt >= 0 && tFailAt-- == 0) {
    tFailed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}
// GCC takes the free of a block that a new expression made, once inlined here, for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace {

using namespace runtime_testing;

// What a row's call needs made before it, outside the failing allocation.
enum class Need { kFactories, kFreshReader, kReader, kManager, kWriter, kWriting };

struct Objects {
  ComPtr<IWMSyncReader> reader;
  ComPtr<IWMHeaderInfo3> readerHeader;
  ComPtr<IWMProfile3> readerProfile;
  ComPtr<IWMOutputMediaProps> outputProps;
  ComPtr<INSSBuffer> sample;
  ComPtr<IWMProfileManager> manager;
  ComPtr<IWMCodecInfo3> codecs;
  ComPtr<IWMProfile> profile;
  ComPtr<IWMStreamConfig> config;
  ComPtr<IWMMediaProps> configProps;
  ComPtr<IWMWriter> writer;
  ComPtr<IWMHeaderInfo3> writerHeader;
  ComPtr<IWMInputMediaProps> inputProps;
  ComPtr<INSSBuffer> writerSample;
  std::u16string inputPath = WidePath(TestFile("taglib-silence-1.wma"));
  std::u16string outputPath;
};

struct Row {
  const char* method;
  Need need;
  std::function<HRESULT(Objects&)> call;
};

// Text for the header's calls; the buffers are large enough for what the file holds.
constexpr char16_t kTitle[] = u"Title";
const BYTE* TitleBytes() { return reinterpret_cast<const BYTE*>(u"A title"); }
constexpr WORD kTitleBytes = 16;
WCHAR gName[256];
BYTE gValue[4096];

HRESULT MakeManager(Objects& o) {
  RETURN_IF_FAILED(WMCreateProfileManager(o.manager.put()));
  RETURN_IF_FAILED(o.manager.query_to(IID_IWMCodecInfo3, o.codecs));
  RETURN_IF_FAILED(o.manager->CreateEmptyProfile(WMT_VER_9_0, o.profile.put()));
  RETURN_IF_FAILED(o.codecs->GetCodecFormat(WMMEDIATYPE_Audio, 0, 7, o.config.put()));
  RETURN_IF_FAILED(o.config->SetStreamNumber(1));
  RETURN_IF_FAILED(o.config.query_to(IID_IWMMediaProps, o.configProps));
  return o.profile->AddStream(o.config.get());
}

HRESULT Prepare(Need need, const ScratchDirectory& scratch, Objects& o) {
  if (need == Need::kFactories) return S_OK;
  if (need == Need::kFreshReader || need == Need::kReader) {
    RETURN_IF_FAILED(WMCreateSyncReader(nullptr, 0, o.reader.put()));
    if (need == Need::kFreshReader) return S_OK;
    RETURN_IF_FAILED(o.reader->Open(o.inputPath.c_str()));
    RETURN_IF_FAILED(o.reader.query_to(IID_IWMHeaderInfo3, o.readerHeader));
    RETURN_IF_FAILED(o.reader.query_to(IID_IWMProfile3, o.readerProfile));
    RETURN_IF_FAILED(o.reader->GetOutputProps(0, o.outputProps.put()));
    return o.reader->GetNextSample(0, o.sample.put(), nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  RETURN_IF_FAILED(MakeManager(o));
  if (need == Need::kManager) return S_OK;
  RETURN_IF_FAILED(WMCreateWriter(nullptr, o.writer.put()));
  RETURN_IF_FAILED(o.writer.query_to(IID_IWMHeaderInfo3, o.writerHeader));
  RETURN_IF_FAILED(o.writer->SetProfile(o.profile.get()));
  RETURN_IF_FAILED(o.writer->GetInputProps(0, o.inputProps.put()));
  o.outputPath = WidePath(scratch / "out.wma");
  RETURN_IF_FAILED(o.writer->SetOutputFilename(o.outputPath.c_str()));
  RETURN_IF_FAILED(
      o.writerHeader->SetAttribute(0, kTitle, WMT_TYPE_STRING, TitleBytes(), kTitleBytes));
  if (need == Need::kWriter) return S_OK;
  RETURN_IF_FAILED(o.writer->BeginWriting());
  RETURN_IF_FAILED(o.writer->AllocateSample(4 * 4096, o.writerSample.put()));
  return S_OK;
}

// Every method of every interface of the runtime's objects, called as a caller would.
std::vector<Row> Rows() {
  using N = Need;
  static WORD word;
  static DWORD dword;
  static QWORD qword;
  static GUID guid;
  static WMT_ATTR_DATATYPE attrType;
  static WM_MEDIA_TYPE* noType = nullptr;
  const auto size = [] {
    word = sizeof(gValue);
    return &word;
  };
  return {
      // Factories
      {"WMCreateSyncReader", N::kFactories,
       [](Objects& o) { return WMCreateSyncReader(nullptr, 0, o.reader.put()); }},
      {"WMCreateWriter", N::kFactories,
       [](Objects& o) { return WMCreateWriter(nullptr, o.writer.put()); }},
      {"WMCreateProfileManager", N::kFactories,
       [](Objects& o) { return WMCreateProfileManager(o.manager.put()); }},
      // IWMSyncReader
      {"Open", N::kFreshReader, [](Objects& o) { return o.reader->Open(o.inputPath.c_str()); }},
      {"Close", N::kReader, [](Objects& o) { return o.reader->Close(); }},
      {"SetRange", N::kReader, [](Objects& o) { return o.reader->SetRange(0, 0); }},
      {"SetRangeByFrame", N::kReader,
       [](Objects& o) { return o.reader->SetRangeByFrame(1, 0, 0); }},
      {"GetNextSample", N::kReader,
       [](Objects& o) {
         ComPtr<INSSBuffer> sample;
         return o.reader->GetNextSample(0, sample.put(), &qword, &qword, &dword, &dword, &word);
       }},
      {"SetStreamsSelected", N::kReader,
       [](Objects& o) { return o.reader->SetStreamsSelected(0, nullptr, nullptr); }},
      {"GetStreamSelected", N::kReader,
       [](Objects& o) {
         WMT_STREAM_SELECTION selection{};
         return o.reader->GetStreamSelected(1, &selection);
       }},
      {"SetReadStreamSamples", N::kReader,
       [](Objects& o) { return o.reader->SetReadStreamSamples(1, FALSE); }},
      {"GetReadStreamSamples", N::kReader,
       [](Objects& o) {
         WINBOOL compressed = FALSE;
         return o.reader->GetReadStreamSamples(1, &compressed);
       }},
      {"GetOutputSetting", N::kReader,
       [size](Objects& o) {
         return o.reader->GetOutputSetting(0, u"EnableDiscreteOutput", &attrType, gValue, size());
       }},
      {"SetOutputSetting", N::kReader,
       [](Objects& o) {
         const DWORD on = TRUE;
         return o.reader->SetOutputSetting(0, u"EnableDiscreteOutput", WMT_TYPE_BOOL,
                                           reinterpret_cast<const BYTE*>(&on), 4);
       }},
      {"GetOutputCount", N::kReader, [](Objects& o) { return o.reader->GetOutputCount(&dword); }},
      {"GetOutputProps", N::kReader,
       [](Objects& o) {
         ComPtr<IWMOutputMediaProps> props;
         return o.reader->GetOutputProps(0, props.put());
       }},
      {"SetOutputProps", N::kReader,
       [](Objects& o) { return o.reader->SetOutputProps(0, o.outputProps.get()); }},
      {"GetOutputFormatCount", N::kReader,
       [](Objects& o) { return o.reader->GetOutputFormatCount(0, &dword); }},
      {"GetOutputFormat", N::kReader,
       [](Objects& o) {
         ComPtr<IWMOutputMediaProps> props;
         return o.reader->GetOutputFormat(0, 0, props.put());
       }},
      {"GetOutputNumberForStream", N::kReader,
       [](Objects& o) { return o.reader->GetOutputNumberForStream(1, &dword); }},
      {"GetStreamNumberForOutput", N::kReader,
       [](Objects& o) { return o.reader->GetStreamNumberForOutput(0, &word); }},
      {"GetMaxOutputSampleSize", N::kReader,
       [](Objects& o) { return o.reader->GetMaxOutputSampleSize(0, &dword); }},
      {"GetMaxStreamSampleSize", N::kReader,
       [](Objects& o) { return o.reader->GetMaxStreamSampleSize(1, &dword); }},
      {"OpenStream", N::kReader, [](Objects& o) { return o.reader->OpenStream(nullptr); }},
      // IWMHeaderInfo3 of the reader, and of the writer for what changes the header
      {"GetAttributeCount", N::kReader,
       [](Objects& o) { return o.readerHeader->GetAttributeCount(0, &word); }},
      {"GetAttributeByIndex", N::kReader,
       [size](Objects& o) {
         WORD stream = 0;
         WORD nameLength = 256;
         return o.readerHeader->GetAttributeByIndex(0, &stream, gName, &nameLength, &attrType,
                                                    gValue, size());
       }},
      {"GetAttributeByName", N::kReader,
       [size](Objects& o) {
         WORD stream = 0;
         return o.readerHeader->GetAttributeByName(&stream, u"Duration", &attrType, gValue, size());
       }},
      {"SetAttribute", N::kWriter,
       [](Objects& o) {
         return o.writerHeader->SetAttribute(0, u"Author", WMT_TYPE_STRING, TitleBytes(),
                                             kTitleBytes);
       }},
      {"GetMarkerCount", N::kReader,
       [](Objects& o) { return o.readerHeader->GetMarkerCount(&word); }},
      {"GetMarker", N::kReader,
       [](Objects& o) {
         WORD length = 256;
         return o.readerHeader->GetMarker(0, gName, &length, &qword);
       }},
      {"AddMarker", N::kWriter, [](Objects& o) { return o.writerHeader->AddMarker(u"Marker", 0); }},
      {"RemoveMarker", N::kWriter, [](Objects& o) { return o.writerHeader->RemoveMarker(0); }},
      {"GetScriptCount", N::kReader,
       [](Objects& o) { return o.readerHeader->GetScriptCount(&word); }},
      {"GetScript", N::kReader,
       [](Objects& o) {
         WORD typeLength = 128;
         WORD commandLength = 128;
         return o.readerHeader->GetScript(0, gName, &typeLength, gName + 128, &commandLength,
                                          &qword);
       }},
      {"AddScript", N::kWriter,
       [](Objects& o) { return o.writerHeader->AddScript(u"URL", u"command", 0); }},
      {"RemoveScript", N::kWriter, [](Objects& o) { return o.writerHeader->RemoveScript(0); }},
      {"GetCodecInfoCount", N::kReader,
       [](Objects& o) { return o.readerHeader->GetCodecInfoCount(&dword); }},
      {"GetCodecInfo", N::kReader,
       [](Objects& o) {
         WORD nameLength = 128;
         WORD descriptionLength = 128;
         WORD infoLength = sizeof(gValue);
         WMT_CODEC_INFO_TYPE codecType{};
         return o.readerHeader->GetCodecInfo(0, &nameLength, gName, &descriptionLength, gName + 128,
                                             &codecType, &infoLength, gValue);
       }},
      {"GetAttributeCountEx", N::kReader,
       [](Objects& o) { return o.readerHeader->GetAttributeCountEx(0, &word); }},
      {"GetAttributeIndices", N::kReader,
       [](Objects& o) {
         WORD indices[16];
         WORD count = 16;
         return o.readerHeader->GetAttributeIndices(0, kTitle, nullptr, indices, &count);
       }},
      {"GetAttributeByIndexEx", N::kReader,
       [](Objects& o) {
         WORD nameLength = 256;
         WORD language = 0;
         DWORD valueLength = sizeof(gValue);
         return o.readerHeader->GetAttributeByIndexEx(0, 0, gName, &nameLength, &attrType,
                                                      &language, gValue, &valueLength);
       }},
      {"ModifyAttribute", N::kWriter,
       [](Objects& o) {
         return o.writerHeader->ModifyAttribute(0, 0, WMT_TYPE_STRING, 0, TitleBytes(),
                                                kTitleBytes);
       }},
      {"AddAttribute", N::kWriter,
       [](Objects& o) {
         WORD index = 0;
         return o.writerHeader->AddAttribute(0, u"Author", &index, WMT_TYPE_STRING, 0, TitleBytes(),
                                             kTitleBytes);
       }},
      {"DeleteAttribute", N::kWriter,
       [](Objects& o) { return o.writerHeader->DeleteAttribute(0, 0); }},
      {"AddCodecInfo", N::kWriter,
       [](Objects& o) {
         BYTE info[2] = {0x61, 0x01};
         return o.writerHeader->AddCodecInfo(u"Codec", u"Description", WMT_CODECINFO_AUDIO, 2,
                                             info);
       }},
      // IWMProfile of the profile manager's profile, IWMProfile3 of the reader's
      {"GetVersion", N::kManager,
       [](Objects& o) {
         WMT_VERSION version{};
         return o.profile->GetVersion(&version);
       }},
      {"GetName", N::kManager,
       [](Objects& o) {
         DWORD length = 256;
         return o.profile->GetName(gName, &length);
       }},
      {"SetName", N::kManager, [](Objects& o) { return o.profile->SetName(u"A profile"); }},
      {"GetDescription", N::kManager,
       [](Objects& o) {
         DWORD length = 256;
         return o.profile->GetDescription(gName, &length);
       }},
      {"SetDescription", N::kManager,
       [](Objects& o) { return o.profile->SetDescription(u"A description"); }},
      {"GetStreamCount", N::kManager, [](Objects& o) { return o.profile->GetStreamCount(&dword); }},
      {"GetStream", N::kManager,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         return o.profile->GetStream(0, config.put());
       }},
      {"GetStreamByNumber", N::kManager,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         return o.profile->GetStreamByNumber(1, config.put());
       }},
      {"RemoveStream", N::kManager,
       [](Objects& o) { return o.profile->RemoveStream(o.config.get()); }},
      {"RemoveStreamByNumber", N::kManager,
       [](Objects& o) { return o.profile->RemoveStreamByNumber(1); }},
      {"AddStream", N::kManager,
       [](Objects& o) {
         o.config->SetStreamNumber(2);
         return o.profile->AddStream(o.config.get());
       }},
      {"ReconfigStream", N::kManager,
       [](Objects& o) { return o.profile->ReconfigStream(o.config.get()); }},
      {"CreateNewStream", N::kManager,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         return o.profile->CreateNewStream(WMMEDIATYPE_Audio, config.put());
       }},
      {"GetMutualExclusionCount", N::kManager,
       [](Objects& o) { return o.profile->GetMutualExclusionCount(&dword); }},
      {"GetMutualExclusion", N::kManager,
       [](Objects& o) {
         IWMMutualExclusion* exclusion = nullptr;
         return o.profile->GetMutualExclusion(0, &exclusion);
       }},
      {"RemoveMutualExclusion", N::kManager,
       [](Objects& o) { return o.profile->RemoveMutualExclusion(nullptr); }},
      {"AddMutualExclusion", N::kManager,
       [](Objects& o) { return o.profile->AddMutualExclusion(nullptr); }},
      {"CreateNewMutualExclusion", N::kManager,
       [](Objects& o) {
         IWMMutualExclusion* exclusion = nullptr;
         return o.profile->CreateNewMutualExclusion(&exclusion);
       }},
      {"ReaderGetStream", N::kReader,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         return o.readerProfile->GetStream(0, config.put());
       }},
      {"GetProfileID", N::kReader, [](Objects& o) { return o.readerProfile->GetProfileID(&guid); }},
      {"GetStorageFormat", N::kReader,
       [](Objects& o) {
         WMT_STORAGE_FORMAT storage{};
         return o.readerProfile->GetStorageFormat(&storage);
       }},
      {"SetStorageFormat", N::kReader,
       [](Objects& o) { return o.readerProfile->SetStorageFormat(WMT_Storage_Format_V1); }},
      {"GetBandwidthSharingCount", N::kReader,
       [](Objects& o) { return o.readerProfile->GetBandwidthSharingCount(&dword); }},
      {"GetBandwidthSharing", N::kReader,
       [](Objects& o) {
         IWMBandwidthSharing* sharing = nullptr;
         return o.readerProfile->GetBandwidthSharing(0, &sharing);
       }},
      {"RemoveBandwidthSharing", N::kReader,
       [](Objects& o) { return o.readerProfile->RemoveBandwidthSharing(nullptr); }},
      {"AddBandwidthSharing", N::kReader,
       [](Objects& o) { return o.readerProfile->AddBandwidthSharing(nullptr); }},
      {"CreateNewBandwidthSharing", N::kReader,
       [](Objects& o) {
         IWMBandwidthSharing* sharing = nullptr;
         return o.readerProfile->CreateNewBandwidthSharing(&sharing);
       }},
      {"GetStreamPrioritization", N::kReader,
       [](Objects& o) {
         IWMStreamPrioritization* prioritization = nullptr;
         return o.readerProfile->GetStreamPrioritization(&prioritization);
       }},
      {"SetStreamPrioritization", N::kReader,
       [](Objects& o) { return o.readerProfile->SetStreamPrioritization(nullptr); }},
      {"RemoveStreamPrioritization", N::kReader,
       [](Objects& o) { return o.readerProfile->RemoveStreamPrioritization(); }},
      {"CreateNewStreamPrioritization", N::kReader,
       [](Objects& o) {
         IWMStreamPrioritization* prioritization = nullptr;
         return o.readerProfile->CreateNewStreamPrioritization(&prioritization);
       }},
      {"GetExpectedPacketCount", N::kReader,
       [](Objects& o) { return o.readerProfile->GetExpectedPacketCount(10000000, &qword); }},
      // IWMWriter
      {"SetProfileByID", N::kWriter, [](Objects& o) { return o.writer->SetProfileByID(GUID{}); }},
      {"SetProfile", N::kWriter, [](Objects& o) { return o.writer->SetProfile(o.profile.get()); }},
      {"SetOutputFilename", N::kWriter,
       [](Objects& o) { return o.writer->SetOutputFilename(o.outputPath.c_str()); }},
      {"GetInputCount", N::kWriter, [](Objects& o) { return o.writer->GetInputCount(&dword); }},
      {"GetInputProps", N::kWriter,
       [](Objects& o) {
         ComPtr<IWMInputMediaProps> props;
         return o.writer->GetInputProps(0, props.put());
       }},
      {"SetInputProps", N::kWriter,
       [](Objects& o) { return o.writer->SetInputProps(0, o.inputProps.get()); }},
      {"GetInputFormatCount", N::kWriter,
       [](Objects& o) { return o.writer->GetInputFormatCount(0, &dword); }},
      {"GetInputFormat", N::kWriter,
       [](Objects& o) {
         ComPtr<IWMInputMediaProps> props;
         return o.writer->GetInputFormat(0, 1, props.put());
       }},
      {"BeginWriting", N::kWriter, [](Objects& o) { return o.writer->BeginWriting(); }},
      {"AllocateSample", N::kWriting,
       [](Objects& o) {
         ComPtr<INSSBuffer> sample;
         return o.writer->AllocateSample(4096, sample.put());
       }},
      {"WriteSample", N::kWriting,
       [](Objects& o) { return o.writer->WriteSample(0, 0, 0, o.writerSample.get()); }},
      {"Flush", N::kWriting, [](Objects& o) { return o.writer->Flush(); }},
      {"EndWriting", N::kWriting,
       [](Objects& o) {
         RETURN_IF_FAILED(o.writer->WriteSample(0, 0, 0, o.writerSample.get()));
         return o.writer->EndWriting();
       }},
      // IWMProfileManager and IWMCodecInfo3
      {"CreateEmptyProfile", N::kManager,
       [](Objects& o) {
         ComPtr<IWMProfile> profile;
         return o.manager->CreateEmptyProfile(WMT_VER_9_0, profile.put());
       }},
      {"LoadProfileByID", N::kManager,
       [](Objects& o) {
         ComPtr<IWMProfile> profile;
         return o.manager->LoadProfileByID(GUID{}, profile.put());
       }},
      {"LoadProfileByData", N::kManager,
       [](Objects& o) {
         ComPtr<IWMProfile> profile;
         return o.manager->LoadProfileByData(u"<profile/>", profile.put());
       }},
      {"SaveProfile", N::kManager,
       [](Objects& o) {
         DWORD length = 256;
         return o.manager->SaveProfile(o.profile.get(), gName, &length);
       }},
      {"GetSystemProfileCount", N::kManager,
       [](Objects& o) { return o.manager->GetSystemProfileCount(&dword); }},
      {"LoadSystemProfile", N::kManager,
       [](Objects& o) {
         ComPtr<IWMProfile> profile;
         return o.manager->LoadSystemProfile(0, profile.put());
       }},
      {"GetCodecInfoCount3", N::kManager,
       [](Objects& o) { return o.codecs->GetCodecInfoCount(WMMEDIATYPE_Audio, &dword); }},
      {"GetCodecFormatCount", N::kManager,
       [](Objects& o) { return o.codecs->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &dword); }},
      {"GetCodecFormat", N::kManager,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         return o.codecs->GetCodecFormat(WMMEDIATYPE_Audio, 0, 3, config.put());
       }},
      {"GetCodecName", N::kManager,
       [](Objects& o) {
         DWORD length = 256;
         return o.codecs->GetCodecName(WMMEDIATYPE_Audio, 0, gName, &length);
       }},
      {"GetCodecFormatDesc", N::kManager,
       [](Objects& o) {
         ComPtr<IWMStreamConfig> config;
         DWORD length = 256;
         return o.codecs->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 3, config.put(), gName, &length);
       }},
      {"GetCodecProp", N::kManager,
       [](Objects& o) {
         DWORD length = sizeof(gValue);
         return o.codecs->GetCodecProp(WMMEDIATYPE_Audio, 0, u"_ISVBRSUPPORTED", &attrType, gValue,
                                       &length);
       }},
      {"GetCodecFormatProp", N::kManager,
       [](Objects& o) {
         DWORD length = sizeof(gValue);
         return o.codecs->GetCodecFormatProp(WMMEDIATYPE_Audio, 0, 0, u"_VBRENABLED", &attrType,
                                             gValue, &length);
       }},
      {"SetCodecEnumerationSetting", N::kManager,
       [](Objects& o) {
         const BOOL variable = TRUE;
         return o.codecs->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, u"_VBRENABLED",
                                                     WMT_TYPE_BOOL,
                                                     reinterpret_cast<const BYTE*>(&variable), 4);
       }},
      {"GetCodecEnumerationSetting", N::kManager,
       [](Objects& o) {
         DWORD length = sizeof(gValue);
         return o.codecs->GetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, u"_VBRENABLED",
                                                     &attrType, gValue, &length);
       }},
      // IWMStreamConfig and IWMMediaProps of a codec format
      {"GetStreamType", N::kManager, [](Objects& o) { return o.config->GetStreamType(&guid); }},
      {"GetStreamNumber", N::kManager, [](Objects& o) { return o.config->GetStreamNumber(&word); }},
      {"SetStreamNumber", N::kManager, [](Objects& o) { return o.config->SetStreamNumber(3); }},
      {"GetStreamName", N::kManager,
       [](Objects& o) {
         WORD length = 256;
         return o.config->GetStreamName(gName, &length);
       }},
      {"SetStreamName", N::kManager, [](Objects& o) { return o.config->SetStreamName(u"Audio"); }},
      {"GetConnectionName", N::kManager,
       [](Objects& o) {
         WORD length = 256;
         return o.config->GetConnectionName(gName, &length);
       }},
      {"SetConnectionName", N::kManager,
       [](Objects& o) { return o.config->SetConnectionName(u"Audio"); }},
      {"GetBitrate", N::kManager, [](Objects& o) { return o.config->GetBitrate(&dword); }},
      {"SetBitrate", N::kManager, [](Objects& o) { return o.config->SetBitrate(128000); }},
      {"GetBufferWindow", N::kManager,
       [](Objects& o) { return o.config->GetBufferWindow(&dword); }},
      {"SetBufferWindow", N::kManager, [](Objects& o) { return o.config->SetBufferWindow(3000); }},
      {"GetType", N::kManager, [](Objects& o) { return o.configProps->GetType(&guid); }},
      {"GetMediaType", N::kManager,
       [](Objects& o) {
         DWORD bytes = sizeof(gValue);
         return o.configProps->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(gValue), &bytes);
       }},
      {"SetMediaType", N::kManager,
       [](Objects& o) {
         DWORD bytes = sizeof(gValue);
         RETURN_IF_FAILED(
             o.configProps->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(gValue), &bytes));
         return o.configProps->SetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(gValue));
       }},
      // The media-properties objects of a reader's output and a writer's input
      {"OutputGetType", N::kReader, [](Objects& o) { return o.outputProps->GetType(&guid); }},
      {"OutputGetMediaType", N::kReader,
       [](Objects& o) {
         DWORD bytes = sizeof(gValue);
         return o.outputProps->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(gValue), &bytes);
       }},
      {"OutputSetMediaType", N::kReader,
       [](Objects& o) { return o.outputProps->SetMediaType(noType); }},
      {"GetStreamGroupName", N::kReader,
       [](Objects& o) {
         WORD length = 256;
         return o.outputProps->GetStreamGroupName(gName, &length);
       }},
      {"OutputGetConnectionName", N::kReader,
       [](Objects& o) {
         WORD length = 256;
         return o.outputProps->GetConnectionName(gName, &length);
       }},
      {"InputGetConnectionName", N::kWriter,
       [](Objects& o) {
         WORD length = 256;
         return o.inputProps->GetConnectionName(gName, &length);
       }},
      {"GetGroupName", N::kWriter,
       [](Objects& o) {
         WORD length = 256;
         return o.inputProps->GetGroupName(gName, &length);
       }},
      // INSSBuffer of a reader's sample
      {"GetLength", N::kReader, [](Objects& o) { return o.sample->GetLength(&dword); }},
      {"SetLength", N::kReader, [](Objects& o) { return o.sample->SetLength(4); }},
      {"GetMaxLength", N::kReader, [](Objects& o) { return o.sample->GetMaxLength(&dword); }},
      {"GetBuffer", N::kReader,
       [](Objects& o) {
         BYTE* bytes = nullptr;
         return o.sample->GetBuffer(&bytes);
       }},
      {"GetBufferAndLength", N::kReader,
       [](Objects& o) {
         BYTE* bytes = nullptr;
         return o.sample->GetBufferAndLength(&bytes, &dword);
       }},
  };
}

// Each allocation of each call fails in turn, until the call makes no more. A call whose
// allocation failed gives E_OUTOFMEMORY, leaves it as the thread's last error, and its object
// then refuses the same call though memory is back; or, where the work could do without that
// memory (a sort's scratch buffer), it gives what it gives with all the memory it wants. Coded
// on one thread, so that every allocation of the work is the caller's.
TEST(OutOfMemoryTest, EveryMethodTurnsEachFailedAllocationIntoALastingFailure) {
  CodingThreadsSetting threads(1);
  ScratchDirectory scratch;
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.method);
    HRESULT whole = S_OK;
    {
      Objects objects;
      ASSERT_EQ(Prepare(row.need, scratch, objects), S_OK);
      whole = row.call(objects);
    }
    long failures = 0;
    for (long n = 0;; ++n) {
      Objects objects;
      ASSERT_EQ(Prepare(row.need, scratch, objects), S_OK);
      tFailed = false;
      tFailAt = n;
      HRESULT result = S_OK;
      try {
        result = row.call(objects);
      } catch (const std::bad_alloc&) {
        tFailAt = -1;
        ADD_FAILURE() << "std::bad_alloc crossed the call at allocation " << n;
        break;
      }
      tFailAt = -1;
      if (!tFailed) break;
      ++failures;
      if (result == whole && whole != E_OUTOFMEMORY) continue;  // done without that memory
      EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << n;
      if (row.need == Need::kFactories) continue;  // nothing was made
      EXPECT_EQ(GetLastError(), DWORD{ERROR_OUTOFMEMORY}) << "allocation " << n;
      SetLastError(ERROR_SUCCESS);
      EXPECT_EQ(row.call(objects), E_OUTOFMEMORY) << "again after allocation " << n;
    }
    RecordProperty(row.method, std::to_string(failures));
  }
}

}  // namespace
