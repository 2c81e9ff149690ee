#include "double/sync_reader.h"

#include <algorithm>
#include <string>

#include "double/describe.h"
#include "double/output_media_props.h"
#include "double/sample_buffer.h"

namespace runtime_double {

namespace {
// The double's files have one output, output 0.
constexpr DWORD kOutputs = 1;
}  // namespace

SyncReader::SyncReader(RuntimeDouble& runtime) : DoubleObject(runtime, "SyncReader") {}

void* SyncReader::FindInterface(REFIID iid) {
  if (iid == IID_IWMSyncReader) return static_cast<IWMSyncReader*>(this);
  if (iid == IID_IWMHeaderInfo || iid == IID_IWMHeaderInfo2 || iid == IID_IWMHeaderInfo3) {
    return static_cast<IWMHeaderInfo3*>(this);
  }
  return nullptr;
}

HRESULT SyncReader::EnterOpen(std::string_view call, std::string_view arguments) {
  const HRESULT planned = Enter(call, arguments);
  if (state_ == State::kOpen) return planned;
  ADD_FAILURE() << "runtime double: " << call << " on a reader that is "
                << (state_ == State::kCreated ? "not open" : "closed");
  return NS_E_INVALID_REQUEST;
}

HRESULT SyncReader::EnterHeader(std::string_view call, std::string_view arguments, HeaderUse use) {
  if (use == HeaderUse::kChange) return Unexpected(call);
  return EnterOpen(call, arguments);
}

HRESULT SyncReader::Open(const WCHAR* fileName) {
  runtime().record().openedFiles.push_back(fileName == nullptr ? u"" : fileName);
  const HRESULT planned = Enter("SyncReader.Open", TextOf(fileName));
  if (FAILED(planned)) return planned;
  if (fileName == nullptr) return E_INVALIDARG;
  if (state_ != State::kCreated) {
    ADD_FAILURE() << "runtime double: SyncReader.Open on a reader opened before";
    return NS_E_INVALID_REQUEST;
  }
  const ReaderScript& script = runtime().reader;
  outputFormats_ = script.outputFormats;
  samples_ = script.samples;
  header_ = {script.attributes, script.codecs};
  state_ = State::kOpen;
  return S_OK;
}

HRESULT SyncReader::Close() {
  const HRESULT planned = EnterOpen("SyncReader.Close", "");
  if (FAILED(planned)) return planned;
  state_ = State::kClosed;
  return S_OK;
}

HRESULT SyncReader::GetNextSample(WORD streamNumber, INSSBuffer** sample, QWORD* time,
                                  QWORD* duration, DWORD* flags, DWORD* outputNumber,
                                  WORD* sampleStreamNumber) {
  const HRESULT planned = EnterOpen("SyncReader.GetNextSample", std::to_string(streamNumber));
  if (FAILED(planned)) return planned;
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  // Stream 0 asks for the next sample of any stream.
  while (nextSample_ < samples_.size() && streamNumber != 0 &&
         samples_[nextSample_].streamNumber != streamNumber) {
    ++nextSample_;
  }
  if (nextSample_ == samples_.size()) return NS_E_NO_MORE_SAMPLES;
  const Sample& next = samples_[nextSample_];
  if (!next.withBuffer) {
    ++nextSample_;
    return next.result;
  }
  auto* buffer = MakeComObject<SampleBuffer>(runtime(), next.bytes);
  if (buffer == nullptr) return E_OUTOFMEMORY;
  ++nextSample_;
  *sample = buffer;
  if (time != nullptr) *time = next.time;
  if (duration != nullptr) *duration = next.duration;
  if (flags != nullptr) *flags = next.flags;
  if (outputNumber != nullptr) *outputNumber = next.outputNumber;
  if (sampleStreamNumber != nullptr) *sampleStreamNumber = next.streamNumber;
  return next.result;
}

HRESULT SyncReader::SetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                     const BYTE* value, WORD length) {
  runtime().record().outputSettings.push_back(
      {output,
       name == nullptr ? u"" : name,
       {type, value == nullptr ? std::vector<BYTE>{} : std::vector<BYTE>(value, value + length)},
       length});
  const HRESULT planned =
      EnterOpen("SyncReader.SetOutputSetting",
                std::to_string(output) + ", " + TextOf(name) + ", " + TypeName(type) + ", " +
                    ValueText(type, value, length) + ", " + std::to_string(length));
  if (FAILED(planned)) return planned;
  if (output >= kOutputs || name == nullptr) return E_INVALIDARG;
  return S_OK;
}

HRESULT SyncReader::GetOutputFormat(DWORD output, DWORD format, IWMOutputMediaProps** props) {
  const HRESULT planned = EnterOpen("SyncReader.GetOutputFormat",
                                    std::to_string(output) + ", " + std::to_string(format));
  if (FAILED(planned)) return planned;
  if (props == nullptr) return E_POINTER;
  *props = nullptr;
  if (output >= kOutputs || format >= outputFormats_.size()) return E_INVALIDARG;
  *props = MakeComObject<OutputMediaProps>(runtime(), outputFormats_[format]);
  return *props == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT SyncReader::SetOutputProps(DWORD output, IWMOutputMediaProps* props) {
  // Only the double's own properties can be set, as only the runtime's can on its reader.
  auto* offered = dynamic_cast<OutputMediaProps*>(props);
  const HRESULT planned =
      EnterOpen("SyncReader.SetOutputProps",
                std::to_string(output) + ", " +
                    (offered == nullptr ? PointerText(props) : FormatText(offered->mediaFormat())));
  if (FAILED(planned)) return planned;
  if (output >= kOutputs || offered == nullptr) return E_INVALIDARG;
  const bool isOffered = std::find(outputFormats_.begin(), outputFormats_.end(),
                                   offered->mediaFormat()) != outputFormats_.end();
  return isOffered ? S_OK : NS_E_INVALID_OUTPUT_FORMAT;
}

HRESULT SyncReader::SetRange(QWORD, LONGLONG) { return Unexpected("SyncReader.SetRange"); }
HRESULT SyncReader::SetRangeByFrame(WORD, QWORD, LONGLONG) {
  return Unexpected("SyncReader.SetRangeByFrame");
}
HRESULT SyncReader::SetStreamsSelected(WORD, WORD*, WMT_STREAM_SELECTION*) {
  return Unexpected("SyncReader.SetStreamsSelected");
}
HRESULT SyncReader::GetStreamSelected(WORD, WMT_STREAM_SELECTION*) {
  return Unexpected("SyncReader.GetStreamSelected");
}
HRESULT SyncReader::SetReadStreamSamples(WORD, WINBOOL) {
  return Unexpected("SyncReader.SetReadStreamSamples");
}
HRESULT SyncReader::GetReadStreamSamples(WORD, WINBOOL*) {
  return Unexpected("SyncReader.GetReadStreamSamples");
}
HRESULT SyncReader::GetOutputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) {
  return Unexpected("SyncReader.GetOutputSetting");
}
HRESULT SyncReader::GetOutputCount(DWORD*) { return Unexpected("SyncReader.GetOutputCount"); }
HRESULT SyncReader::GetOutputProps(DWORD, IWMOutputMediaProps**) {
  return Unexpected("SyncReader.GetOutputProps");
}
HRESULT SyncReader::GetOutputFormatCount(DWORD, DWORD*) {
  return Unexpected("SyncReader.GetOutputFormatCount");
}
HRESULT SyncReader::GetOutputNumberForStream(WORD, DWORD*) {
  return Unexpected("SyncReader.GetOutputNumberForStream");
}
HRESULT SyncReader::GetStreamNumberForOutput(DWORD, WORD*) {
  return Unexpected("SyncReader.GetStreamNumberForOutput");
}
HRESULT SyncReader::GetMaxOutputSampleSize(DWORD, DWORD*) {
  return Unexpected("SyncReader.GetMaxOutputSampleSize");
}
HRESULT SyncReader::GetMaxStreamSampleSize(WORD, DWORD*) {
  return Unexpected("SyncReader.GetMaxStreamSampleSize");
}
HRESULT SyncReader::OpenStream(IStream*) { return Unexpected("SyncReader.OpenStream"); }

}  // namespace runtime_double
