#include "double/writer.h"

#include <algorithm>
#include <string>

#include "double/describe.h"
#include "double/input_media_props.h"
#include "double/profile.h"
#include "double/sample_buffer.h"

namespace runtime_double {

namespace {
// What a freshly allocated sample holds, so that bytes the caller never wrote stand out.
constexpr BYTE kUnwrittenByte = 0xCD;
}  // namespace

Writer::Writer(RuntimeDouble& runtime) : DoubleObject(runtime, "Writer") {}

void* Writer::FindInterface(REFIID iid) {
  if (iid == IID_IWMWriter) return static_cast<IWMWriter*>(this);
  if (iid == IID_IWMHeaderInfo || iid == IID_IWMHeaderInfo2 || iid == IID_IWMHeaderInfo3) {
    return static_cast<IWMHeaderInfo3*>(this);
  }
  return nullptr;
}

HRESULT Writer::EnterHeader(std::string_view call, std::string_view arguments, HeaderUse use) {
  const HRESULT planned = Enter(call, arguments);
  if (FAILED(planned)) return planned;
  // The header goes into the file when writing begins.
  if (use == HeaderUse::kChange && state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  return S_OK;
}

HRESULT Writer::SetProfile(IWMProfile* profile) {
  // Only the double's own profiles can be set, as only the runtime's can on its writer.
  auto* given = dynamic_cast<Profile*>(profile);
  std::string arguments = given == nullptr ? PointerText(profile) : "";
  if (given != nullptr) {
    for (const ProfileStream& stream : given->streams()) {
      arguments += (arguments.empty() ? "" : "; ") + StreamText(stream.number, stream.format);
    }
    runtime().record().profilesSet.push_back({given->streams()});
  }
  const HRESULT planned = Enter("Writer.SetProfile", arguments);
  if (FAILED(planned)) return planned;
  if (given == nullptr || given->streams().empty()) return E_INVALIDARG;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  streams_ = given->streams();
  inputFormat_.reset();
  return S_OK;
}

HRESULT Writer::SetOutputFilename(const WCHAR* fileName) {
  runtime().record().outputFiles.push_back(fileName == nullptr ? u"" : fileName);
  const HRESULT planned = Enter("Writer.SetOutputFilename", TextOf(fileName));
  if (FAILED(planned)) return planned;
  if (fileName == nullptr) return E_POINTER;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  const auto& accepts = runtime().writer.acceptsFileName;
  if (accepts && !accepts(fileName)) return NS_E_INVALID_NAME;
  named_ = true;
  return S_OK;
}

HRESULT Writer::GetInputProps(DWORD input, IWMInputMediaProps** props) {
  const HRESULT planned = Enter("Writer.GetInputProps", std::to_string(input));
  if (FAILED(planned)) return planned;
  if (props == nullptr) return E_POINTER;
  *props = nullptr;
  if (streams_.empty()) return NS_E_INVALID_REQUEST;
  if (input >= streams_.size()) return E_INVALIDARG;
  *props = MakeComObject<InputMediaProps>(runtime(), inputFormat_.value_or(DefaultInputFormat()));
  return *props == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT Writer::SetInputProps(DWORD input, IWMInputMediaProps* props) {
  // Only the double's own properties can be set, as only the runtime's can on its writer.
  auto* given = dynamic_cast<InputMediaProps*>(props);
  const HRESULT planned =
      Enter("Writer.SetInputProps",
            std::to_string(input) + ", " +
                (given == nullptr ? PointerText(props) : FormatText(given->mediaFormat())));
  if (FAILED(planned)) return planned;
  if (given == nullptr || input >= streams_.size()) return E_INVALIDARG;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  const MediaFormat& format = given->mediaFormat();
  const bool audio = format.majorType == WMMEDIATYPE_Audio &&
                     format.formatType == WMFORMAT_WaveFormatEx &&
                     format.format.size() >= sizeof(WAVEFORMATEX);
  const auto& accepts = runtime().writer.acceptsInput;
  if (!audio || (accepts && !accepts(format.wave()))) return NS_E_INVALID_INPUT_FORMAT;
  inputFormat_ = format;
  return S_OK;
}

HRESULT Writer::BeginWriting() {
  const HRESULT planned = Enter("Writer.BeginWriting", "");
  if (FAILED(planned)) return planned;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  if (streams_.empty() || !named_) return NS_E_NOT_CONFIGURED;
  state_ = State::kWriting;
  return S_OK;
}

HRESULT Writer::EndWriting() {
  const HRESULT planned = Enter("Writer.EndWriting", "");
  if (FAILED(planned)) return planned;
  if (state_ != State::kWriting) return NS_E_INVALID_REQUEST;
  state_ = State::kEnded;
  return S_OK;
}

HRESULT Writer::AllocateSample(DWORD size, INSSBuffer** sample) {
  const HRESULT planned = Enter("Writer.AllocateSample", std::to_string(size));
  if (FAILED(planned)) return planned;
  if (sample == nullptr) return E_POINTER;
  const long long changed = static_cast<long long>(size) + runtime().writer.sampleSizeChange;
  *sample = MakeComObject<SampleBuffer>(
      runtime(),
      std::vector<BYTE>(static_cast<std::size_t>(std::max(changed, 0LL)), kUnwrittenByte));
  return *sample == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT Writer::WriteSample(DWORD input, QWORD time, DWORD flags, INSSBuffer* sample) {
  // Only the double's own samples can be written, as only the runtime's can to its writer.
  auto* given = dynamic_cast<SampleBuffer*>(sample);
  const bool keepBytes = given != nullptr && runtime().writer.keepsSampleBytes;
  runtime().record().samplesWritten.push_back(
      {input, time, flags, keepBytes ? given->Contents() : std::vector<BYTE>{}});
  const HRESULT planned = Enter(
      "Writer.WriteSample",
      std::to_string(input) + ", " + std::to_string(time) + ", " + std::to_string(flags) + ", " +
          (given == nullptr ? PointerText(sample) : std::to_string(given->length()) + " bytes"));
  if (FAILED(planned)) return planned;
  if (given == nullptr || input >= streams_.size()) return E_INVALIDARG;
  if (state_ != State::kWriting) return NS_E_INVALID_REQUEST;
  return S_OK;
}

MediaFormat Writer::DefaultInputFormat() const {
  if (runtime().writer.inputFormat.has_value()) return *runtime().writer.inputFormat;
  const WAVEFORMATEX stream = streams_.front().format.wave();
  return PcmFormat(stream.nSamplesPerSec, stream.nChannels, 16);
}

HRESULT Writer::SetProfileByID(REFGUID) { return Unexpected("Writer.SetProfileByID"); }
HRESULT Writer::GetInputCount(DWORD*) { return Unexpected("Writer.GetInputCount"); }
HRESULT Writer::GetInputFormatCount(DWORD, DWORD*) {
  return Unexpected("Writer.GetInputFormatCount");
}
HRESULT Writer::GetInputFormat(DWORD, DWORD, IWMInputMediaProps**) {
  return Unexpected("Writer.GetInputFormat");
}
HRESULT Writer::Flush() { return Unexpected("Writer.Flush"); }

}  // namespace runtime_double
