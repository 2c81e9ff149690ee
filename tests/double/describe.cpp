#include "double/describe.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

namespace runtime_double {

namespace {

struct NamedInterface {
  const IID* iid;
  const char* name;
};

constexpr std::array<NamedInterface, 16> kInterfaceNames = {{
    {&IID_IUnknown, "IUnknown"},
    {&IID_INSSBuffer, "INSSBuffer"},
    {&IID_IWMMediaProps, "IWMMediaProps"},
    {&IID_IWMInputMediaProps, "IWMInputMediaProps"},
    {&IID_IWMOutputMediaProps, "IWMOutputMediaProps"},
    {&IID_IWMStreamConfig, "IWMStreamConfig"},
    {&IID_IWMProfile, "IWMProfile"},
    {&IID_IWMWriter, "IWMWriter"},
    {&IID_IWMHeaderInfo, "IWMHeaderInfo"},
    {&IID_IWMHeaderInfo2, "IWMHeaderInfo2"},
    {&IID_IWMHeaderInfo3, "IWMHeaderInfo3"},
    {&IID_IWMSyncReader, "IWMSyncReader"},
    {&IID_IWMProfileManager, "IWMProfileManager"},
    {&IID_IWMCodecInfo, "IWMCodecInfo"},
    {&IID_IWMCodecInfo2, "IWMCodecInfo2"},
    {&IID_IWMCodecInfo3, "IWMCodecInfo3"},
}};

unsigned long long LittleEndian(const BYTE* bytes, std::size_t width) {
  unsigned long long value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

std::string HexBytes(const BYTE* bytes, std::size_t length) {
  std::string text = "[";
  for (std::size_t i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof(hex), i == 0 ? "%02X" : " %02X", bytes[i]);
    text += hex;
  }
  return text + "]";
}

}  // namespace

std::string Utf8(std::u16string_view text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    const bool pair = code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
    if (pair) code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | code >> 18);
      utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

std::string TextOf(const WCHAR* text) {
  return text == nullptr ? "null" : Utf8(std::u16string_view(text));
}

std::string PointerText(const void* pointer) { return pointer == nullptr ? "null" : "buffer"; }

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string InterfaceName(REFIID iid) {
  for (const auto& [known, name] : kInterfaceNames) {
    if (*known == iid) return name;
  }
  return GuidText(iid);
}

std::string MajorTypeName(const GUID& majorType) {
  if (majorType == WMMEDIATYPE_Audio) return "audio";
  if (majorType == WMMEDIATYPE_Video) return "video";
  return GuidText(majorType);
}

std::string TypeName(WMT_ATTR_DATATYPE type) {
  switch (type) {
    case WMT_TYPE_DWORD:
      return "DWORD";
    case WMT_TYPE_STRING:
      return "STRING";
    case WMT_TYPE_BINARY:
      return "BINARY";
    case WMT_TYPE_BOOL:
      return "BOOL";
    case WMT_TYPE_QWORD:
      return "QWORD";
    case WMT_TYPE_WORD:
      return "WORD";
    case WMT_TYPE_GUID:
      return "GUID";
  }
  return "type " + std::to_string(static_cast<int>(type));
}

std::string ValueText(WMT_ATTR_DATATYPE type, const BYTE* value, std::size_t length) {
  if (value == nullptr) return "null";
  const bool dword = (type == WMT_TYPE_DWORD || type == WMT_TYPE_BOOL) && length == 4;
  const bool qword = type == WMT_TYPE_QWORD && length == 8;
  const bool word = type == WMT_TYPE_WORD && length == 2;
  if (dword || qword || word) return std::to_string(LittleEndian(value, length));
  if (type == WMT_TYPE_GUID && length == sizeof(GUID)) {
    GUID guid;
    std::memcpy(&guid, value, sizeof(guid));
    return GuidText(guid);
  }
  if (type == WMT_TYPE_STRING) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < length; i += 2) {
      const auto unit = static_cast<char16_t>(LittleEndian(value + i, 2));
      if (unit == 0) break;
      text.push_back(unit);
    }
    return "\"" + Utf8(text) + "\"";
  }
  return HexBytes(value, length);
}

std::string WaveText(const WAVEFORMATEX& wave) {
  char text[120];
  std::snprintf(text, sizeof(text), "tag 0x%04X, %u ch, %u Hz, %u B/s, align %u, %u bit, cbSize %u",
                wave.wFormatTag, wave.nChannels, wave.nSamplesPerSec, wave.nAvgBytesPerSec,
                wave.nBlockAlign, wave.wBitsPerSample, wave.cbSize);
  return text;
}

std::string FormatText(const MediaFormat& format) {
  if (format.majorType == WMMEDIATYPE_Audio && format.formatType == WMFORMAT_WaveFormatEx &&
      format.format.size() >= sizeof(WAVEFORMATEX)) {
    return "audio: " + WaveText(format.wave());
  }
  return MajorTypeName(format.majorType);
}

std::string StreamText(WORD number, const MediaFormat& format) {
  return "#" + std::to_string(number) + " " + FormatText(format);
}

}  // namespace runtime_double
