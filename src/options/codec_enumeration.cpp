#include "options/codec_enumeration.h"

#include "common/wide_text.h"
#include "media/media_type.h"

bool CodecEnumeration::Open() {
  if (FAILED(WMCreateProfileManager(profileManager.put()))) return false;
  if (FAILED(profileManager.query_to(IID_IWMCodecInfo3, codecInfo))) {
    profileManager.reset();
    return false;
  }
  return true;
}

HRESULT SelectBitRateMode(IWMCodecInfo3* codecInfo, DWORD codecIndex, BOOL variableBitRate) {
  return codecInfo->SetCodecEnumerationSetting(
      WMMEDIATYPE_Audio, codecIndex, WSTR("_VBRENABLED"), WMT_TYPE_BOOL,
      reinterpret_cast<const BYTE*>(&variableBitRate), sizeof(variableBitRate));
}

bool CodecFormatDetails::Read(IWMCodecInfo3* codecInfo, DWORD codecIndex, DWORD formatIndex) {
  DWORD units = 0;
  // A length of 0 has no room even for the terminator: no description, so the format is skipped.
  if (FAILED(codecInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, codecIndex, formatIndex, nullptr,
                                           nullptr, &units)) ||
      units == 0) {
    return false;
  }
  const DWORD capacity = units;
  description = AllocateWideText(capacity);
  if (!description) return false;
  if (FAILED(codecInfo->GetCodecFormatDesc(WMMEDIATYPE_Audio, codecIndex, formatIndex, config.put(),
                                           description.get(), &units))) {
    return false;
  }
  EndWideText(description, capacity, units);
  if (!config || FAILED(config.query_to(IID_IWMMediaProps, props))) return false;
  DWORD size = 0;
  mediaType = FetchMediaType(props.get(), size);
  format = FindWaveFormat(mediaType.get(), size);
  return format != nullptr;
}

HeapBuffer<WCHAR> ReadCodecName(IWMCodecInfo3* codecInfo, DWORD codecIndex) {
  DWORD units = 0;
  // A length of 0 has no room even for the terminator: no name, so the codec is not listed.
  if (FAILED(codecInfo->GetCodecName(WMMEDIATYPE_Audio, codecIndex, nullptr, &units)) ||
      units == 0) {
    return {};
  }
  const DWORD capacity = units;
  HeapBuffer<WCHAR> name = AllocateWideText(capacity);
  if (!name || FAILED(codecInfo->GetCodecName(WMMEDIATYPE_Audio, codecIndex, name.get(), &units))) {
    return {};
  }
  EndWideText(name, capacity, units);
  return name;
}
