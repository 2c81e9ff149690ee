#include "com/codec_info.h"

#include <cstring>

#include "base/result.h"
#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/stream_config.h"
#include "com/text_out.h"
#include "common/com_ptr.h"
#include "common/wide_text.h"

namespace wmvcore {
namespace {

constexpr WCHAR kVbrEnabled[] = WSTR("_VBRENABLED");
constexpr WCHAR kNumPasses[] = WSTR("_NUMPASSES");
constexpr WCHAR kIsVbrSupported[] = WSTR("_ISVBRSUPPORTED");

// Buffer window of the catalogue's formats: three seconds, as constant-rate audio streams use.
constexpr DWORD kBufferWindowMs = 3000;

HRESULT CopyDword(DWORD value, WMT_ATTR_DATATYPE type, WMT_ATTR_DATATYPE* valueType, BYTE* out,
                  DWORD* size) {
  if (valueType == nullptr || size == nullptr) return E_POINTER;
  if (out != nullptr) {
    if (*size < sizeof(value)) {
      *size = sizeof(value);
      return ASF_E_BUFFERTOOSMALL;
    }
    std::memcpy(out, &value, sizeof(value));
  }
  *valueType = type;
  *size = sizeof(value);
  return S_OK;
}

}  // namespace

CodecInfo::CodecInfo() : settings_(CodecCatalogue().size()) {}

const CatalogueCodec* CodecInfo::Codec(REFGUID type, DWORD codec) const {
  const auto& catalogue = CodecCatalogue();
  if (type != WMMEDIATYPE_Audio || codec >= catalogue.size()) return nullptr;
  return &catalogue[codec];
}

const std::vector<CatalogueFormat>* CodecInfo::Formats(REFGUID type, DWORD codec) const {
  const CatalogueCodec* found = Codec(type, codec);
  if (found == nullptr) return nullptr;
  return settings_[codec].variableRate ? &found->variableRate : &found->constantRate;
}

HRESULT CodecInfo::GetCodecInfoCount(REFGUID type, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  if (type == WMMEDIATYPE_Audio) {
    *count = static_cast<DWORD>(CodecCatalogue().size());
  } else if (type == WMMEDIATYPE_Video) {
    *count = 0;  // this runtime encodes no video
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT CodecInfo::GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  const auto* formats = Formats(type, codec);
  if (formats == nullptr) return E_INVALIDARG;
  *count = static_cast<DWORD>(formats->size());
  return S_OK;
}

HRESULT CodecInfo::GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                  IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  const auto* formats = Formats(type, codec);
  if (formats == nullptr || format >= formats->size()) return E_INVALIDARG;
  const CatalogueFormat& chosen = (*formats)[format];
  auto stream = ComPtr<StreamConfig>::Adopt(MakeRuntimeObject<StreamConfig>(WMMEDIATYPE_Audio));
  if (!stream) return E_OUTOFMEMORY;
  stream->SetType(MediaType::Audio(Codec(type, codec)->subtype, chosen.wave));
  stream->SetBitrate(chosen.bitrate);
  stream->SetBufferWindow(kBufferWindowMs);
  *config = stream.detach();
  return S_OK;
}

HRESULT CodecInfo::GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* length) {
  const CatalogueCodec* found = Codec(type, codec);
  if (found == nullptr) return E_INVALIDARG;
  return CopyText(found->name, name, length);
}

HRESULT CodecInfo::GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format,
                                      IWMStreamConfig** config, WCHAR* description, DWORD* length) {
  const auto* formats = Formats(type, codec);
  if (formats == nullptr || format >= formats->size()) return E_INVALIDARG;
  // The description first: a buffer too small fails the call before any object is made.
  RETURN_IF_FAILED(CopyText((*formats)[format].description, description, length));
  if (config != nullptr) return GetCodecFormat(type, codec, format, config);
  return S_OK;
}

HRESULT CodecInfo::GetCodecFormatProp(REFGUID type, DWORD codec, DWORD format, const WCHAR*,
                                      WMT_ATTR_DATATYPE*, BYTE*, DWORD*) {
  const auto* formats = Formats(type, codec);
  if (formats == nullptr || format >= formats->size()) return E_INVALIDARG;
  return ASF_E_NOTFOUND;  // the formats carry no properties beyond their media type
}

HRESULT CodecInfo::GetCodecProp(REFGUID type, DWORD codec, const WCHAR* name,
                                WMT_ATTR_DATATYPE* valueType, BYTE* value, DWORD* size) {
  const CatalogueCodec* found = Codec(type, codec);
  if (found == nullptr) return E_INVALIDARG;
  if (WideEquals(name, kIsVbrSupported))
    return CopyDword(found->variableRate.empty() ? FALSE : TRUE, WMT_TYPE_BOOL, valueType, value,
                     size);
  return ASF_E_NOTFOUND;
}

HRESULT CodecInfo::SetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                              WMT_ATTR_DATATYPE valueType, const BYTE* value,
                                              DWORD size) {
  if (Codec(type, codec) == nullptr || value == nullptr || size != sizeof(DWORD))
    return E_INVALIDARG;
  DWORD setting = 0;
  std::memcpy(&setting, value, sizeof(setting));
  if (WideEquals(name, kVbrEnabled) && valueType == WMT_TYPE_BOOL) {
    settings_[codec].variableRate = setting != 0;
    return S_OK;
  }
  if (WideEquals(name, kNumPasses) && valueType == WMT_TYPE_DWORD) {
    // Kept for the caller to read back; every format here encodes in one pass.
    settings_[codec].passes = setting;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT CodecInfo::GetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                              WMT_ATTR_DATATYPE* valueType, BYTE* value,
                                              DWORD* size) {
  if (Codec(type, codec) == nullptr) return E_INVALIDARG;
  if (WideEquals(name, kVbrEnabled))
    return CopyDword(settings_[codec].variableRate ? TRUE : FALSE, WMT_TYPE_BOOL, valueType, value,
                     size);
  if (WideEquals(name, kNumPasses))
    return CopyDword(settings_[codec].passes, WMT_TYPE_DWORD, valueType, value, size);
  return E_INVALIDARG;
}

}  // namespace wmvcore
