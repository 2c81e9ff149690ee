#include "media/media_type.h"

HeapBuffer<WM_MEDIA_TYPE> FetchMediaType(IWMMediaProps* props, DWORD& size) {
  size = 0;
  if (FAILED(props->GetMediaType(nullptr, &size)) || size == 0) return {};
  HeapBuffer<WM_MEDIA_TYPE> type(size);
  if (!type || FAILED(props->GetMediaType(type.get(), &size))) return {};
  return type;
}

WAVEFORMATEX* FindWaveFormat(WM_MEDIA_TYPE* type, DWORD size, DWORD formatBytes) {
  if (type == nullptr || size < sizeof(WM_MEDIA_TYPE)) return nullptr;
  if (type->pbFormat == nullptr || type->cbFormat < formatBytes) return nullptr;
  return reinterpret_cast<WAVEFORMATEX*>(type->pbFormat);
}
