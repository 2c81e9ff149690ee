#include "com/writer.h"

#include <utility>

#include "base/file_path.h"
#include "base/file_system.h"
#include "base/result.h"
#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/hand_out.h"
#include "com/media_props.h"
#include "com/sample_buffer.h"
#include "common/com_ptr.h"
#include "common/media_time.h"

namespace wmvcore {
namespace {

constexpr WORD kInputWidths[] = {16, 24, 8};  // the input formats offered, the usual first

// The plug-in reports a failed write to its host by a result alone, so the cause is also left as
// the thread's last error, where Windows' own file calls leave theirs and the host can read it.
HRESULT WithLastError(HRESULT result) {
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) SetLastError(HRESULT_CODE(result));
  return result;
}

}  // namespace

Writer::Writer() { editable_ = true; }
Writer::~Writer() = default;

void* Writer::FindInterface(REFIID iid) {
  if (iid == IID_IWMWriter) return static_cast<IWMWriter*>(this);
  return FindHeaderInterface(iid);
}

HRESULT Writer::Fail(HRESULT result) {
  muxer_.reset();
  encoder_.reset();
  state_ = State::kFailed;
  return WithLastError(result);
}

// ---- Configuration -----------------------------------------------------------------------

HRESULT Writer::SetProfileByID(REFGUID) {
  return NS_E_INVALID_REQUEST;  // no stored profiles: a profile is built and set
}

HRESULT Writer::SetProfile(IWMProfile* profile) {
  if (profile == nullptr) return E_INVALIDARG;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  DWORD count = 0;
  RETURN_IF_FAILED(profile->GetStreamCount(&count));
  if (count != 1) return NS_E_INVALID_REQUEST;  // one audio stream, nothing else
  ComPtr<IWMStreamConfig> config;
  RETURN_IF_FAILED(profile->GetStream(0, config.put()));
  ComPtr<IWMMediaProps> props;
  RETURN_IF_FAILED(config.query_to(IID_IWMMediaProps, props));
  const auto type = MediaType::Read(props.get());
  const auto wave = type ? type->Wave() : std::nullopt;
  if (!wave) return NS_E_INVALID_OUTPUT_FORMAT;
  // The catalogue lists every format that encodes, each opened once when it was built.
  const CatalogueCodec* codec = FindCodecByTag(wave->formatTag);
  const CatalogueFormat* format = codec != nullptr ? FindCatalogueFormat(*codec, *wave) : nullptr;
  const CatalogueFormat* variable =
      codec != nullptr && format == nullptr ? FindVariableRateFormat(*codec, *wave) : nullptr;
  if (format == nullptr && variable == nullptr) return NS_E_INVALID_OUTPUT_FORMAT;
  stream_ = Stream{codec, *wave, (format ? format : variable)->description, variable != nullptr};
  // Input of the stream's own width by default: a 24-bit stream takes 24-bit samples.
  input_ = PcmFormat{wave->samplesPerSec, wave->channels,
                     static_cast<WORD>(wave->bitsPerSample == 24 ? 24 : 16)};
  return S_OK;
}

HRESULT Writer::SetOutputFilename(const WCHAR* filename) {
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  const auto path = PathFromWide(filename);
  if (!path) return NS_E_INVALID_NAME;
  // Checked now, so that a path that cannot be written fails before any audio is taken.
  RETURN_IF_FAILED(WithLastError(CheckWritable(*path)));
  target_ = *path;
  return S_OK;
}

HRESULT Writer::GetInputCount(DWORD* inputs) {
  if (inputs == nullptr) return E_POINTER;
  *inputs = stream_ ? 1 : 0;
  return S_OK;
}

HRESULT Writer::GetInputProps(DWORD input, IWMInputMediaProps** props) {
  if (props == nullptr) return E_POINTER;
  if (!stream_) return NS_E_INVALID_REQUEST;
  if (input != 0) return E_INVALIDARG;
  return HandOut(MakeRuntimeObject<InputMediaProps>(
                     MediaType::Pcm(input_->rate, input_->channels, input_->bits)),
                 props);
}

HRESULT Writer::SetInputProps(DWORD input, IWMInputMediaProps* props) {
  if (!stream_) return NS_E_INVALID_REQUEST;
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  if (input != 0 || props == nullptr) return E_INVALIDARG;
  const auto type = MediaType::Read(props);
  const auto wave = type ? type->Wave() : std::nullopt;
  if (!wave || !type->IsPcm()) return NS_E_INVALID_INPUT_FORMAT;
  const PcmFormat format{wave->samplesPerSec, wave->channels, wave->bitsPerSample,
                         type->ChannelMask()};
  if (!AudioEncoder::CanConvert(format, stream_->wave)) return NS_E_INVALID_INPUT_FORMAT;
  input_ = format;
  return S_OK;
}

HRESULT Writer::GetInputFormatCount(DWORD input, DWORD* formats) {
  if (formats == nullptr) return E_POINTER;
  if (!stream_) return NS_E_INVALID_REQUEST;
  if (input != 0) return E_INVALIDARG;
  *formats = static_cast<DWORD>(std::size(kInputWidths));
  return S_OK;
}

HRESULT Writer::GetInputFormat(DWORD input, DWORD format, IWMInputMediaProps** props) {
  if (props == nullptr) return E_POINTER;
  if (!stream_) return NS_E_INVALID_REQUEST;
  if (input != 0 || format >= std::size(kInputWidths)) return E_INVALIDARG;
  return HandOut(MakeRuntimeObject<InputMediaProps>(MediaType::Pcm(
                     stream_->wave.samplesPerSec, stream_->wave.channels, kInputWidths[format])),
                 props);
}

// ---- Writing -----------------------------------------------------------------------------

HRESULT Writer::BeginWriting() {
  if (state_ != State::kConfiguring) return NS_E_INVALID_REQUEST;
  if (!stream_ || target_.empty()) return NS_E_NOT_CONFIGURED;
  auto encoder = AudioEncoder::Open(stream_->codec->open, stream_->wave);
  if (!encoder) return NS_E_INVALID_OUTPUT_FORMAT;
  RETURN_IF_FAILED(encoder->Begin(*input_));
  // The header is settled once writing begins: all but the duration goes into it now.
  HeaderContent content;
  content.attributes = attributes();
  content.codecs.push_back(asf::CodecEntry{2, stream_->codec->name, stream_->description,
                                           Bytes{static_cast<BYTE>(stream_->wave.formatTag),
                                                 static_cast<BYTE>(stream_->wave.formatTag >> 8)}});
  content.codecs.insert(content.codecs.end(), codecs_.begin(), codecs_.end());
  content.variableRate = stream_->variableRate;
  content.formatKeepsRate = encoder->averageSetsLayout();
  std::unique_ptr<AsfMuxer> muxer;
  const HRESULT begun = AsfMuxer::Begin(target_, encoder->format(), encoder->packetPerPayload(),
                                        std::move(content), muxer);
  if (FAILED(begun)) return WithLastError(begun);
  encoder_ = std::move(encoder);
  muxer_ = std::move(muxer);
  editable_ = false;  // the header is settled once writing begins
  state_ = State::kWriting;
  return S_OK;
}

HRESULT Writer::AllocateSample(DWORD size, INSSBuffer** sample) {
  if (sample == nullptr) return E_POINTER;
  return HandOut(SampleBuffer::Create(size, size), sample);
}

// Samples are taken in the order written and joined without gaps; their times are not used.
HRESULT Writer::WriteSample(DWORD input, QWORD, DWORD, INSSBuffer* sample) {
  if (state_ != State::kWriting) return NS_E_INVALID_REQUEST;
  if (input != 0 || sample == nullptr) return E_INVALIDARG;
  BYTE* bytes = nullptr;
  DWORD length = 0;
  RETURN_IF_FAILED(sample->GetBufferAndLength(&bytes, &length));
  if (length == 0) return S_OK;
  if (bytes == nullptr) return E_INVALIDARG;
  const HRESULT written = encoder_->Write(bytes, length, *muxer_);
  return FAILED(written) ? Fail(written) : S_OK;
}

HRESULT Writer::Flush() {
  // Whole frames are encoded and written as they fill; nothing else waits.
  return state_ == State::kWriting ? S_OK : NS_E_INVALID_REQUEST;
}

HRESULT Writer::EndWriting() {
  if (state_ != State::kWriting) return NS_E_INVALID_REQUEST;
  const HRESULT flushed = encoder_->Finish(*muxer_);
  if (FAILED(flushed)) return Fail(flushed);
  const HRESULT finished = muxer_->Finish(encoder_->InputFrames() * kUnitsPerSecond / input_->rate);
  if (FAILED(finished)) return Fail(finished);
  muxer_.reset();
  encoder_.reset();
  state_ = State::kFinished;
  return S_OK;
}

}  // namespace wmvcore
