// IWMStreamConfig with IWMMediaProps: one codec format of the catalogue as a stream of a profile
// to be, holding a copy of the format and the stream number set on it.
#pragma once

#include "double/double_object.h"
#include "double/media_props.h"

namespace runtime_double {

class StreamConfig final : public DoubleObject<StreamConfig, IWMStreamConfig,
                                               MediaPropsFacet<StreamConfig, IWMMediaProps>> {
 public:
  StreamConfig(RuntimeDouble& runtime, MediaFormat format);

  void* FindInterface(REFIID iid);
  MediaFormat& mediaFormat() { return format_; }
  WORD streamNumber() const { return streamNumber_; }

  HRESULT STDMETHODCALLTYPE GetStreamType(GUID*) override;
  HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD*) override;
  HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD number) override;
  HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR*, WORD*) override;
  HRESULT STDMETHODCALLTYPE SetStreamName(const WCHAR*) override;
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR*, WORD*) override;
  HRESULT STDMETHODCALLTYPE SetConnectionName(const WCHAR*) override;
  HRESULT STDMETHODCALLTYPE GetBitrate(DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetBitrate(DWORD) override;
  HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD) override;

 private:
  MediaFormat format_;
  WORD streamNumber_ = 0;  // 0 until set
};

}  // namespace runtime_double
