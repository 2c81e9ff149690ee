#include "double/stream_config.h"

#include <string>

namespace runtime_double {

namespace {
// ASF stream numbers run from 1 to 127.
constexpr WORD kLastStreamNumber = 127;
}  // namespace

StreamConfig::StreamConfig(RuntimeDouble& runtime, MediaFormat format)
    : DoubleObject(runtime, "StreamConfig"), format_(std::move(format)) {}

void* StreamConfig::FindInterface(REFIID iid) {
  if (iid == IID_IWMStreamConfig) return static_cast<IWMStreamConfig*>(this);
  if (iid == IID_IWMMediaProps) return static_cast<IWMMediaProps*>(this);
  return nullptr;
}

HRESULT StreamConfig::SetStreamNumber(WORD number) {
  const HRESULT planned = Enter("StreamConfig.SetStreamNumber", std::to_string(number));
  if (FAILED(planned)) return planned;
  if (number == 0 || number > kLastStreamNumber) return E_INVALIDARG;
  streamNumber_ = number;
  return S_OK;
}

HRESULT StreamConfig::GetStreamType(GUID*) { return Unexpected("StreamConfig.GetStreamType"); }
HRESULT StreamConfig::GetStreamNumber(WORD*) { return Unexpected("StreamConfig.GetStreamNumber"); }
HRESULT StreamConfig::GetStreamName(WCHAR*, WORD*) {
  return Unexpected("StreamConfig.GetStreamName");
}
HRESULT StreamConfig::SetStreamName(const WCHAR*) {
  return Unexpected("StreamConfig.SetStreamName");
}
HRESULT StreamConfig::GetConnectionName(WCHAR*, WORD*) {
  return Unexpected("StreamConfig.GetConnectionName");
}
HRESULT StreamConfig::SetConnectionName(const WCHAR*) {
  return Unexpected("StreamConfig.SetConnectionName");
}
HRESULT StreamConfig::GetBitrate(DWORD*) { return Unexpected("StreamConfig.GetBitrate"); }
HRESULT StreamConfig::SetBitrate(DWORD) { return Unexpected("StreamConfig.SetBitrate"); }
HRESULT StreamConfig::GetBufferWindow(DWORD*) { return Unexpected("StreamConfig.GetBufferWindow"); }
HRESULT StreamConfig::SetBufferWindow(DWORD) { return Unexpected("StreamConfig.SetBufferWindow"); }

}  // namespace runtime_double
