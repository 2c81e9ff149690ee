// IWMStreamConfig with IWMMediaProps: one stream of a profile, its number, names, bit rate,
// buffer window and media type. Codec information hands out new ones for its formats;
// profiles keep their own copies.
#pragma once

#include <string>

#include <windows.h>
#include <wmsdk.h>

#include "com/media_type.h"
#include "com/text_out.h"
#include "common/com_object.h"
#include "common/com_ptr.h"
#include "common/wide_text.h"

namespace wmvcore {

class StreamConfig : public ComObject<StreamConfig, IWMStreamConfig, IWMMediaProps> {
 protected:
  // Through MakeRuntimeObject (com_boundary.h).
  explicit StreamConfig(const GUID& streamType);

 public:
  // A copy of any IWMStreamConfig, read through its interfaces: E_INVALIDARG when it cannot be
  // read, E_OUTOFMEMORY.
  static HRESULT CopyOf(IWMStreamConfig* source, ComPtr<StreamConfig>& copy);
  ComPtr<StreamConfig> Copy() const;

  // IWMStreamConfig
  HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override;
  HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* number) override;
  HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD number) override;
  HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR* name, WORD* length) override;
  HRESULT STDMETHODCALLTYPE SetStreamName(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) override;
  HRESULT STDMETHODCALLTYPE SetConnectionName(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* bitrate) override;
  HRESULT STDMETHODCALLTYPE SetBitrate(DWORD bitrate) override;
  HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD* milliseconds) override;
  HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD milliseconds) override;
  // IWMMediaProps
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override;
  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override;

  void* FindInterface(REFIID iid);

  const MediaType& mediaType() const { return mediaType_; }
  void SetType(MediaType type) { mediaType_ = std::move(type); }
  WORD streamNumber() const { return streamNumber_; }
  DWORD bitrate() const { return bitrate_; }

 private:
  GUID streamType_;
  WORD streamNumber_ = 0;
  WideString name_;
  WideString connectionName_;
  DWORD bitrate_ = 0;
  DWORD bufferWindow_ = 0;
  MediaType mediaType_;
};

}  // namespace wmvcore
