// The runtime's enumeration of audio codecs and their formats, shared by the default search,
// the dialog's list fillers and the encoder set-up.
#pragma once

#include "common/com_ptr.h"
#include "media/heap_memory.h"
#include "media/runtime.h"

// A profile manager and its codec information interface, released codec information first.
struct CodecEnumeration {
  ComPtr<IWMProfileManager> profileManager;
  ComPtr<IWMCodecInfo3> codecInfo;

  // Creates both; false (with nothing held) when either cannot be had.
  bool Open();
};

// Selects the codec's constant (0) or variable (1) bit-rate format list for the calls that
// follow, through the enumeration setting "_VBRENABLED".
HRESULT SelectBitRateMode(IWMCodecInfo3* codecInfo, DWORD codecIndex, BOOL variableBitRate);

// One format of a codec as the enumeration describes it. Members are declared in the order of
// acquisition, so the media type is freed first and the description last.
struct CodecFormatDetails {
  HeapBuffer<WCHAR> description;
  ComPtr<IWMStreamConfig> config;
  ComPtr<IWMMediaProps> props;
  HeapBuffer<WM_MEDIA_TYPE> mediaType;
  const WAVEFORMATEX* format = nullptr;  // its members up to wBitsPerSample

  // Fetches the description, the stream configuration, its media properties and media type.
  // False when any of them cannot be had; what was obtained is released when details goes.
  bool Read(IWMCodecInfo3* codecInfo, DWORD codecIndex, DWORD formatIndex);
};

// The UTF-16 name of a codec, or empty when it cannot be had.
HeapBuffer<WCHAR> ReadCodecName(IWMCodecInfo3* codecInfo, DWORD codecIndex);
