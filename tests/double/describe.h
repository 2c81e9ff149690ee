// Readable text for the call log: UTF-16 text, typed values, identifiers and formats.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <windows.h>
#include <wmsdk.h>

#include "double/scripts.h"

namespace runtime_double {

std::string Utf8(std::u16string_view text);
// Text up to the terminator; "null" for a null pointer.
std::string TextOf(const WCHAR* text);
// "null" or "buffer": whether the caller passed somewhere to write.
std::string PointerText(const void* pointer);
// The value an in/out size holds on the way in; "null" for a null pointer.
template <class Number>
std::string SizeText(const Number* size) {
  return size == nullptr ? "null" : std::to_string(*size);
}
std::string GuidText(const GUID& guid);
// "IWMHeaderInfo3" for the interfaces the double knows, else the identifier.
std::string InterfaceName(REFIID iid);
// "audio", "video", else the identifier.
std::string MajorTypeName(const GUID& majorType);
// "BOOL", "DWORD", "STRING", ...
std::string TypeName(WMT_ATTR_DATATYPE type);
// A value by its type: numbers in decimal, text in quotes, other bytes in hexadecimal.
std::string ValueText(WMT_ATTR_DATATYPE type, const BYTE* value, std::size_t length);
// "tag 0x0001, 2 ch, 44100 Hz, 176400 B/s, align 4, 16 bit, cbSize 0".
std::string WaveText(const WAVEFORMATEX& wave);
// "audio: " and the WAVEFORMATEX, or the major type of any other format.
std::string FormatText(const MediaFormat& format);
// "#1 audio: tag 0x0161, ...": a stream of a profile by its number and format.
std::string StreamText(WORD number, const MediaFormat& format);

}  // namespace runtime_double
