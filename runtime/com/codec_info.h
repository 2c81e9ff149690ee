// IWMCodecInfo3 (with IWMCodecInfo and IWMCodecInfo2) over the codec catalogue: codec names,
// formats as stream configurations, their descriptions, and the "_VBRENABLED" enumeration
// setting that chooses, per codec, between its constant-rate and variable-rate lists. The
// profile manager derives from this class through ComObject, which supplies IUnknown.
#pragma once

#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "codecs/codec_catalogue.h"

namespace wmvcore {

class CodecInfo : public IWMCodecInfo3 {
 public:
  // IWMCodecInfo
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(REFGUID type, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                           IWMStreamConfig** config) override;
  // IWMCodecInfo2
  HRESULT STDMETHODCALLTYPE GetCodecName(REFGUID type, DWORD codec, WCHAR* name,
                                         DWORD* length) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format,
                                               IWMStreamConfig** config, WCHAR* description,
                                               DWORD* length) override;
  // IWMCodecInfo3
  HRESULT STDMETHODCALLTYPE GetCodecFormatProp(REFGUID type, DWORD codec, DWORD format,
                                               const WCHAR* name, WMT_ATTR_DATATYPE* valueType,
                                               BYTE* value, DWORD* size) override;
  HRESULT STDMETHODCALLTYPE GetCodecProp(REFGUID type, DWORD codec, const WCHAR* name,
                                         WMT_ATTR_DATATYPE* valueType, BYTE* value,
                                         DWORD* size) override;
  HRESULT STDMETHODCALLTYPE SetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                                       WMT_ATTR_DATATYPE valueType,
                                                       const BYTE* value, DWORD size) override;
  HRESULT STDMETHODCALLTYPE GetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                                       WMT_ATTR_DATATYPE* valueType, BYTE* value,
                                                       DWORD* size) override;

 protected:
  CodecInfo();
  ~CodecInfo() = default;

 private:
  struct Settings {
    bool variableRate = false;
    DWORD passes = 1;
  };
  // The codec, or null when the type is not audio or the index names none.
  const CatalogueCodec* Codec(REFGUID type, DWORD codec) const;
  // The format list that the codec's settings select.
  const std::vector<CatalogueFormat>* Formats(REFGUID type, DWORD codec) const;

  std::vector<Settings> settings_;  // one per codec of the catalogue
};

}  // namespace wmvcore
