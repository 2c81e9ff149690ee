// runtime_probe: makes the media runtime calls that the filter makes, on one file and on the
// profile manager and writer, and prints what each answers. It measures what a runtime offers
// instead of assuming it. With --wine it also checks the answers of Wine's runtime that the
// other Wine checks build on: reading works, while header enumeration, codec entries, profiles
// and codec information do not.
//
// usage: runtime_probe FILE.wma SCRATCH_DIRECTORY [--wine]
#include <initguid.h>
#include <windows.h>
#include <wmsdk.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"
#include "common/com_ptr.h"

namespace {

using CreateSyncReader = HRESULT(WINAPI*)(IUnknown*, DWORD, IWMSyncReader**);
using CreateWriter = HRESULT(WINAPI*)(IUnknown*, IWMWriter**);
using CreateProfileManager = HRESULT(WINAPI*)(IWMProfileManager**);

enum class Answer { kSucceeds, kFails, kAny };

std::string Name(HRESULT result) {
  switch (static_cast<unsigned long>(result)) {
    case S_OK:
      return "S_OK";
    case S_FALSE:
      return "S_FALSE";
    case 0x80004001ul:
      return "E_NOTIMPL";
    case 0x80004002ul:
      return "E_NOINTERFACE";
    case 0x80004005ul:
      return "E_FAIL";
    case 0x80070057ul:
      return "E_INVALIDARG";
    case 0x80004003ul:
      return "E_POINTER";
    case 0x8007000Eul:
      return "E_OUTOFMEMORY";
    case 0xC00D0BCFul:
      return "NS_E_NO_MORE_SAMPLES";
    case 0xC00D002Bul:
      return "NS_E_INVALID_REQUEST";
  }
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(result));
  return text;
}

class Probe {
 public:
  Probe(bool wine, Checks& checks) : wine_(wine), checks_(checks) {}

  // Prints the call's answer and, under Wine, checks it against what Wine is known to answer.
  HRESULT Report(const char* call, HRESULT result, Answer underWine,
                 const std::string& detail = "") {
    std::printf("%-46s %s%s%s\n", call, Name(result).c_str(), detail.empty() ? "" : "  ",
                detail.c_str());
    if (wine_ && underWine != Answer::kAny) {
      const bool succeeded = SUCCEEDED(result);
      checks_.Expect(succeeded == (underWine == Answer::kSucceeds),
                     std::string(call) + (succeeded ? " succeeds" : " fails") +
                         ", which Wine's runtime is not known to do");
    }
    return result;
  }

 private:
  bool wine_;
  Checks& checks_;
};

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int units =
      MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(units > 0 ? static_cast<std::size_t>(units - 1) : 0);
  return wide;
}

void ProbeReader(CreateSyncReader create, const std::string& path, Probe& probe) {
  const Answer ok = Answer::kSucceeds;
  ComPtr<IWMSyncReader> reader;
  if (FAILED(probe.Report("WMCreateSyncReader", create(nullptr, 1, reader.put()), ok))) return;
  if (FAILED(probe.Report("IWMSyncReader::Open", reader->Open(Wide(path).c_str()), ok))) return;
  BOOL discrete = TRUE;
  DWORD speakers = 2;
  probe.Report("SetOutputSetting EnableDiscreteOutput",
               reader->SetOutputSetting(0, L"EnableDiscreteOutput", WMT_TYPE_BOOL,
                                        reinterpret_cast<BYTE*>(&discrete), sizeof(discrete)),
               Answer::kAny);
  probe.Report("SetOutputSetting SpeakerConfig",
               reader->SetOutputSetting(0, L"SpeakerConfig", WMT_TYPE_DWORD,
                                        reinterpret_cast<BYTE*>(&speakers), sizeof(speakers)),
               Answer::kAny);
  // Each call is made before its report, whose detail reads what the call wrote.
  DWORD formats = 0;
  const HRESULT counted = reader->GetOutputFormatCount(0, &formats);
  probe.Report("GetOutputFormatCount", counted, ok, "offers " + std::to_string(formats));
  ComPtr<IWMOutputMediaProps> props;
  if (SUCCEEDED(
          probe.Report("GetOutputFormat 0", reader->GetOutputFormat(0, 0, props.put()), ok))) {
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    std::string detail;
    if (SUCCEEDED(props->GetMediaType(type, &size)) && type->pbFormat != nullptr) {
      const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
      detail = std::to_string(wave->nSamplesPerSec) + " Hz, " + std::to_string(wave->nChannels) +
               " channels, " + std::to_string(wave->wBitsPerSample) + "-bit";
    }
    probe.Report("IWMOutputMediaProps::GetMediaType", size > 0 ? S_OK : E_FAIL, ok, detail);
    probe.Report("SetOutputProps", reader->SetOutputProps(0, props.get()), ok);
  }

  ComPtr<IWMHeaderInfo3> header;
  if (SUCCEEDED(probe.Report("QueryInterface IWMHeaderInfo3",
                             reader.query_to(IID_IWMHeaderInfo3, header), ok))) {
    WORD stream = 0;
    WMT_ATTR_DATATYPE type;
    WORD length = 0;
    const HRESULT sized = header->GetAttributeByName(&stream, L"Duration", &type, nullptr, &length);
    probe.Report("GetAttributeByName Duration", sized, ok, std::to_string(length) + " bytes");
    WORD count = 0;
    probe.Report("GetAttributeCountEx", header->GetAttributeCountEx(0, &count), Answer::kFails);
    WORD nameUnits = 0;
    DWORD valueBytes = 0;
    WORD language = 0;
    probe.Report("GetAttributeByIndexEx 0",
                 header->GetAttributeByIndexEx(0, 0, nullptr, &nameUnits, &type, &language, nullptr,
                                               &valueBytes),
                 Answer::kFails);
    DWORD codecs = 0;
    probe.Report("GetCodecInfoCount", header->GetCodecInfoCount(&codecs), Answer::kAny);
    WORD nameLength = 0;
    WORD descriptionLength = 0;
    WORD infoLength = 0;
    WMT_CODEC_INFO_TYPE codecType;
    probe.Report("GetCodecInfo 0",
                 header->GetCodecInfo(0, &nameLength, nullptr, &descriptionLength, nullptr,
                                      &codecType, &infoLength, nullptr),
                 Answer::kFails);
  }

  DWORD samples = 0;
  ULONGLONG bytes = 0;
  HRESULT last = S_OK;
  for (;;) {
    ComPtr<INSSBuffer> sample;
    QWORD time = 0;
    QWORD duration = 0;
    DWORD flags = 0;
    DWORD output = 0;
    last = reader->GetNextSample(0, sample.put(), &time, &duration, &flags, &output, nullptr);
    if (FAILED(last)) break;
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    ++samples;
    bytes += length;
  }
  probe.Report("GetNextSample until it fails", last, Answer::kFails,
               std::to_string(samples) + " samples, " + std::to_string(bytes) + " bytes");
  probe.Report("IWMSyncReader::Close", reader->Close(), ok);
  probe.Report("IWMSyncReader::Close again", reader->Close(), Answer::kAny);
}

void ProbeEncoding(CreateProfileManager createManager, CreateWriter createWriter,
                   const std::string& scratch, Probe& probe) {
  const Answer ok = Answer::kSucceeds;
  ComPtr<IWMProfileManager> manager;
  if (FAILED(probe.Report("WMCreateProfileManager", createManager(manager.put()), ok))) return;
  ComPtr<IWMProfile> profile;
  probe.Report("CreateEmptyProfile WMT_VER_9_0",
               manager->CreateEmptyProfile(WMT_VER_9_0, profile.put()), Answer::kFails);
  ComPtr<IWMCodecInfo3> codecInfo;
  probe.Report("QueryInterface IWMCodecInfo3", manager.query_to(IID_IWMCodecInfo3, codecInfo),
               Answer::kFails);

  ComPtr<IWMWriter> writer;
  if (FAILED(probe.Report("WMCreateWriter", createWriter(nullptr, writer.put()), Answer::kAny))) {
    return;
  }
  if (profile) {
    probe.Report("IWMWriter::SetProfile, empty profile", writer->SetProfile(profile.get()),
                 Answer::kAny);
  }
  const std::wstring output = Wide(scratch + "\\runtime-probe.wma");
  probe.Report("IWMWriter::SetOutputFilename", writer->SetOutputFilename(output.c_str()),
               Answer::kAny);
  DWORD inputs = 0;
  const HRESULT counted = writer->GetInputCount(&inputs);
  probe.Report("IWMWriter::GetInputCount", counted, Answer::kAny,
               "counts " + std::to_string(inputs));
  DeleteFileW(output.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--wine")) {
    std::fputs("usage: runtime_probe FILE.wma SCRATCH_DIRECTORY [--wine]\n", stderr);
    return 2;
  }
  Checks checks;
  Probe probe(argc == 4, checks);
  const HMODULE runtime = LoadLibraryA("wmvcore.dll");
  if (!checks.Expect(runtime != nullptr, "wmvcore.dll loads")) return checks.Summary();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(runtime, path, MAX_PATH);
  std::printf("wmvcore.dll loaded from %s\n", path);
  const auto find = [&](const char* name) {
    return reinterpret_cast<void (*)()>(GetProcAddress(runtime, name));
  };
  const auto createReader = reinterpret_cast<CreateSyncReader>(find("WMCreateSyncReader"));
  const auto createWriter = reinterpret_cast<CreateWriter>(find("WMCreateWriter"));
  const auto createManager = reinterpret_cast<CreateProfileManager>(find("WMCreateProfileManager"));
  if (checks.Expect(createReader && createWriter && createManager, "the three factories")) {
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
      ProbeReader(createReader, argv[1], probe);
      ProbeEncoding(createManager, createWriter, argv[2], probe);
      CoUninitialize();
    }
  }
  FreeLibrary(runtime);
  return checks.Summary();
}
