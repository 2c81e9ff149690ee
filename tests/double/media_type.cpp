#include "double/media_type.h"

#include <cstring>

namespace runtime_double {

DWORD MediaTypeSize(const MediaFormat& format) {
  return static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format.format.size());
}

HRESULT WriteMediaType(const MediaFormat& format, WM_MEDIA_TYPE* type, DWORD* size) {
  if (size == nullptr) return E_POINTER;
  const DWORD needed = MediaTypeSize(format);
  if (type == nullptr) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) {
    *size = needed;
    return ASF_E_BUFFERTOOSMALL;
  }
  BYTE* block = reinterpret_cast<BYTE*>(type + 1);
  type->majortype = format.majorType;
  type->subtype = format.subtype;
  type->bFixedSizeSamples = format.fixedSizeSamples;
  type->bTemporalCompression = format.temporalCompression;
  type->lSampleSize = format.sampleSize;
  type->formattype = format.formatType;
  type->pUnk = nullptr;
  type->cbFormat = static_cast<ULONG>(format.format.size());
  type->pbFormat = format.format.empty() ? nullptr : block;
  if (!format.format.empty()) std::memcpy(block, format.format.data(), format.format.size());
  *size = format.reportedSize.value_or(needed);
  return S_OK;
}

HRESULT ReadMediaType(const WM_MEDIA_TYPE* type, MediaFormat& format) {
  if (type == nullptr) return E_POINTER;
  if (type->cbFormat != 0 && type->pbFormat == nullptr) return E_INVALIDARG;
  format.majorType = type->majortype;
  format.subtype = type->subtype;
  format.fixedSizeSamples = type->bFixedSizeSamples;
  format.temporalCompression = type->bTemporalCompression;
  format.sampleSize = type->lSampleSize;
  format.formatType = type->formattype;
  format.format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
  return S_OK;
}

}  // namespace runtime_double
