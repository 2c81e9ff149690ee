// A file header as the double's reader and writer hold it: attributes in order and the codec
// list, with the runtime's size protocol for reading them.
#pragma once

#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "double/scripts.h"

namespace runtime_double {

struct HeaderContents {
  std::vector<Attribute> attributes;
  std::vector<CodecEntry> codecs;

  // The first attribute of the stream with exactly this name; ASF_E_NOTFOUND when none.
  HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* length) const;
  // The stream's attribute at `index`; E_INVALIDARG past the last one. Null buffers give the
  // name's length in units (terminator included) and the value's in bytes.
  HRESULT GetAttributeByIndexEx(WORD stream, WORD index, WCHAR* name, WORD* nameLength,
                                WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                DWORD* length) const;
  // Codec list entry `index`; null buffers give the lengths.
  HRESULT GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name, WORD* descriptionLength,
                       WCHAR* description, WMT_CODEC_INFO_TYPE* type, WORD* infoLength,
                       BYTE* info) const;
  // Replaces the stream's attribute of that name, or adds one at the end.
  HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length);
};

}  // namespace runtime_double
