#include "com/stream_config.h"

#include <memory>

#include "com/com_boundary.h"

namespace wmvcore {
namespace {

WideString TextThrough(IWMStreamConfig* source,
                       HRESULT (STDMETHODCALLTYPE IWMStreamConfig::*get)(WCHAR*, WORD*)) {
  WORD length = 0;
  if (FAILED((source->*get)(nullptr, &length)) || length == 0) return {};
  WideString text(length, WCHAR{0});
  if (FAILED((source->*get)(text.data(), &length))) return {};
  return WideString(text.c_str());
}

}  // namespace

StreamConfig::StreamConfig(const GUID& streamType) : streamType_(streamType) {
  mediaType_.majortype = streamType;
}

HRESULT StreamConfig::CopyOf(IWMStreamConfig* source, ComPtr<StreamConfig>& copy) {
  // A source that cannot be read is an invalid argument, unless memory ran out reading it.
  const auto unreadable = [](HRESULT result) {
    return result == E_OUTOFMEMORY ? result : E_INVALIDARG;
  };
  if (source == nullptr) return E_INVALIDARG;
  GUID streamType{};
  if (const HRESULT read = source->GetStreamType(&streamType); FAILED(read))
    return unreadable(read);
  ComPtr<IWMMediaProps> props;
  if (const HRESULT found = source->QueryInterface(IID_IWMMediaProps, props.put_void());
      FAILED(found))
    return unreadable(found);
  auto type = MediaType::Read(props.get());
  if (!type) return E_INVALIDARG;
  copy = ComPtr<StreamConfig>::Adopt(MakeRuntimeObject<StreamConfig>(streamType));
  if (!copy) return E_OUTOFMEMORY;
  source->GetStreamNumber(&copy->streamNumber_);
  source->GetBitrate(&copy->bitrate_);
  source->GetBufferWindow(&copy->bufferWindow_);
  copy->name_ = TextThrough(source, &IWMStreamConfig::GetStreamName);
  copy->connectionName_ = TextThrough(source, &IWMStreamConfig::GetConnectionName);
  copy->mediaType_ = std::move(*type);
  return S_OK;
}

ComPtr<StreamConfig> StreamConfig::Copy() const {
  auto copy = ComPtr<StreamConfig>::Adopt(MakeRuntimeObject<StreamConfig>(streamType_));
  if (!copy) return nullptr;
  copy->streamNumber_ = streamNumber_;
  copy->name_ = name_;
  copy->connectionName_ = connectionName_;
  copy->bitrate_ = bitrate_;
  copy->bufferWindow_ = bufferWindow_;
  copy->mediaType_ = mediaType_;
  return copy;
}

void* StreamConfig::FindInterface(REFIID iid) {
  if (iid == IID_IWMStreamConfig) return static_cast<IWMStreamConfig*>(this);
  if (iid == IID_IWMMediaProps) return static_cast<IWMMediaProps*>(this);
  return nullptr;
}

HRESULT StreamConfig::GetStreamType(GUID* type) {
  if (type == nullptr) return E_POINTER;
  *type = streamType_;
  return S_OK;
}

HRESULT StreamConfig::GetStreamNumber(WORD* number) {
  if (number == nullptr) return E_POINTER;
  *number = streamNumber_;
  return S_OK;
}

HRESULT StreamConfig::SetStreamNumber(WORD number) {
  if (number < 1 || number > 63) return E_INVALIDARG;  // ASF stream numbers are 1 to 63
  streamNumber_ = number;
  return S_OK;
}

HRESULT StreamConfig::GetStreamName(WCHAR* name, WORD* length) {
  return CopyText(name_, name, length);
}

HRESULT StreamConfig::SetStreamName(const WCHAR* name) {
  if (name == nullptr) return E_POINTER;
  name_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetConnectionName(WCHAR* name, WORD* length) {
  return CopyText(connectionName_, name, length);
}

HRESULT StreamConfig::SetConnectionName(const WCHAR* name) {
  if (name == nullptr) return E_POINTER;
  connectionName_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetBitrate(DWORD* bitrate) {
  if (bitrate == nullptr) return E_POINTER;
  *bitrate = bitrate_;
  return S_OK;
}

HRESULT StreamConfig::SetBitrate(DWORD bitrate) {
  bitrate_ = bitrate;
  return S_OK;
}

HRESULT StreamConfig::GetBufferWindow(DWORD* milliseconds) {
  if (milliseconds == nullptr) return E_POINTER;
  *milliseconds = bufferWindow_;
  return S_OK;
}

HRESULT StreamConfig::SetBufferWindow(DWORD milliseconds) {
  bufferWindow_ = milliseconds;
  return S_OK;
}

HRESULT StreamConfig::GetType(GUID* type) { return GetStreamType(type); }

HRESULT StreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  return mediaType_.CopyTo(type, size);
}

HRESULT StreamConfig::SetMediaType(WM_MEDIA_TYPE* type) {
  auto copy = MediaType::From(type);
  if (!copy || copy->majortype != streamType_) return E_INVALIDARG;
  mediaType_ = std::move(*copy);
  return S_OK;
}

}  // namespace wmvcore
