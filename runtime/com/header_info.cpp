#include "com/header_info.h"

#include <cstring>
#include <string>
#include <utility>

#include "base/result_codes.h"

namespace wmvcore {
namespace {

// One output of the size protocol: `needed` units of `unitBytes` bytes, to be copied to a
// caller's buffer whose capacity is in and out through `capacity`.
template <class Length>
struct SizedOut {
  const void* source;
  std::size_t needed;  // in units
  std::size_t unitBytes;
  void* buffer;
  Length* capacity;

  bool Fits() const { return buffer == nullptr || *capacity >= needed; }
  bool Representable() const { return needed <= static_cast<std::size_t>(Length(~Length{0})); }
  void Deliver() const {
    if (buffer != nullptr && needed > 0) std::memcpy(buffer, source, needed * unitBytes);
    *capacity = static_cast<Length>(needed);
  }
  void ReportSize() const { *capacity = static_cast<Length>(needed); }
};

// Applies the protocol to every output at once: nothing is copied unless all fit. A buffer too
// small gets ASF_E_BUFFERTOOSMALL with every needed size reported.
template <class... Outs>
HRESULT DeliverAll(const Outs&... outs) {
  if (!(outs.Representable() && ...)) return NS_E_INVALID_DATA;
  if (!(outs.Fits() && ...)) {
    (outs.ReportSize(), ...);
    return ASF_E_BUFFERTOOSMALL;
  }
  (outs.Deliver(), ...);
  return S_OK;
}

bool ValidName(LPCWSTR name) { return name != nullptr && name[0] != 0; }

// An attribute value from a caller, checked against its type; text gets its terminator.
std::optional<Bytes> ValueFromCaller(WMT_ATTR_DATATYPE type, const BYTE* value, DWORD length) {
  if (length > 0 && value == nullptr) return std::nullopt;
  if (!HasValidWidth(type, length)) return std::nullopt;
  Bytes bytes(value, value + length);
  if (type == WMT_TYPE_STRING) return TextValue(ValueText(bytes));
  return bytes;
}

}  // namespace

void* HeaderInfo::FindHeaderInterface(REFIID iid) {
  if (iid == IID_IWMHeaderInfo || iid == IID_IWMHeaderInfo2 || iid == IID_IWMHeaderInfo3)
    return static_cast<IWMHeaderInfo3*>(this);
  return nullptr;
}

void HeaderInfo::ReplaceAttributes(std::vector<Attribute> attributes) {
  attributes_ = std::move(attributes);
  AttributesChanged();
}

Attribute* HeaderInfo::AttributeAt(WORD stream, WORD index) {
  if (indexedStream_ != stream) {
    streamPositions_.clear();
    for (std::size_t i = 0; i < attributes_.size(); ++i)
      if (attributes_[i].stream == stream) streamPositions_.push_back(i);
    indexedStream_ = stream;
  }
  return index < streamPositions_.size() ? &attributes_[streamPositions_[index]] : nullptr;
}

// ---- IWMHeaderInfo -----------------------------------------------------------------------

HRESULT HeaderInfo::GetAttributeCount(WORD stream, WORD* count) {
  return GetAttributeCountEx(stream, count);
}

HRESULT HeaderInfo::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                        WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) {
  if (stream == nullptr || nameLength == nullptr || type == nullptr || valueLength == nullptr)
    return E_INVALIDARG;
  const Attribute* found = AttributeAt(*stream, index);
  if (found == nullptr) return E_INVALIDARG;
  const HRESULT result =
      DeliverAll(SizedOut<WORD>{found->name.c_str(), found->name.size() + 1, 2, name, nameLength},
                 SizedOut<WORD>{found->value.data(), found->value.size(), 1, value, valueLength});
  if (SUCCEEDED(result)) *type = found->type;
  return result;
}

HRESULT HeaderInfo::GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                       BYTE* value, WORD* valueLength) {
  if (stream == nullptr || !ValidName(name) || type == nullptr || valueLength == nullptr)
    return E_INVALIDARG;
  for (const auto& attribute : attributes_) {
    if (attribute.stream != *stream || attribute.name != name) continue;
    const HRESULT result = DeliverAll(
        SizedOut<WORD>{attribute.value.data(), attribute.value.size(), 1, value, valueLength});
    if (SUCCEEDED(result)) *type = attribute.type;
    return result;
  }
  return ASF_E_NOTFOUND;
}

HRESULT HeaderInfo::SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                 const BYTE* value, WORD length) {
  if (!editable_) return NS_E_INVALID_REQUEST;
  if (!ValidName(name)) return E_INVALIDARG;
  auto bytes = ValueFromCaller(type, value, length);
  if (!bytes) return E_INVALIDARG;
  for (auto& attribute : attributes_) {
    if (attribute.stream == stream && attribute.name == name) {
      attribute.type = type;
      attribute.value = std::move(*bytes);
      return S_OK;
    }
  }
  attributes_.push_back(Attribute{stream, name, type, 0, std::move(*bytes)});
  AttributesChanged();
  return S_OK;
}

// Markers and scripts: this runtime keeps none, and its files carry none.
HRESULT HeaderInfo::GetMarkerCount(WORD* markers) {
  if (markers == nullptr) return E_INVALIDARG;
  *markers = 0;
  return S_OK;
}
HRESULT HeaderInfo::GetMarker(WORD, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT HeaderInfo::AddMarker(const WCHAR*, QWORD) { return E_NOTIMPL; }
HRESULT HeaderInfo::RemoveMarker(WORD) { return E_INVALIDARG; }
HRESULT HeaderInfo::GetScriptCount(WORD* scripts) { return GetMarkerCount(scripts); }
HRESULT HeaderInfo::GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT HeaderInfo::AddScript(const WCHAR*, const WCHAR*, QWORD) { return E_NOTIMPL; }
HRESULT HeaderInfo::RemoveScript(WORD) { return E_INVALIDARG; }

// ---- IWMHeaderInfo2 ----------------------------------------------------------------------

HRESULT HeaderInfo::GetCodecInfoCount(DWORD* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = static_cast<DWORD>(codecs_.size());
  return S_OK;
}

HRESULT HeaderInfo::GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name,
                                 WORD* descriptionLength, WCHAR* description,
                                 WMT_CODEC_INFO_TYPE* codecType, WORD* infoLength, BYTE* info) {
  if (nameLength == nullptr || descriptionLength == nullptr || infoLength == nullptr)
    return E_INVALIDARG;
  if (index >= codecs_.size()) return E_INVALIDARG;
  const auto& entry = codecs_[index];
  const HRESULT result = DeliverAll(
      SizedOut<WORD>{entry.name.c_str(), entry.name.size() + 1, 2, name, nameLength},
      SizedOut<WORD>{entry.description.c_str(), entry.description.size() + 1, 2, description,
                     descriptionLength},
      SizedOut<WORD>{entry.information.data(), entry.information.size(), 1, info, infoLength});
  if (SUCCEEDED(result) && codecType != nullptr) {
    *codecType = entry.type == 2   ? WMT_CODECINFO_AUDIO
                 : entry.type == 1 ? WMT_CODECINFO_VIDEO
                                   : WMT_CODECINFO_UNKNOWN;
  }
  return result;
}

// ---- IWMHeaderInfo3 ----------------------------------------------------------------------

HRESULT HeaderInfo::GetAttributeCountEx(WORD stream, WORD* count) {
  if (count == nullptr) return E_INVALIDARG;
  std::size_t n = 0;
  for (const auto& attribute : attributes_) n += attribute.stream == stream ? 1 : 0;
  *count = static_cast<WORD>(std::min<std::size_t>(n, 0xffff));
  return S_OK;
}

HRESULT HeaderInfo::GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language, WORD* indices,
                                        WORD* count) {
  if (!ValidName(name) || count == nullptr) return E_INVALIDARG;
  std::vector<WORD> matches;
  WORD index = 0;
  for (const auto& attribute : attributes_) {
    if (attribute.stream != stream) continue;
    if (attribute.name == name && (language == nullptr || attribute.language == *language))
      matches.push_back(index);
    ++index;
  }
  return DeliverAll(SizedOut<WORD>{matches.data(), matches.size(), 2, indices, count});
}

HRESULT HeaderInfo::GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name, WORD* nameLength,
                                          WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                          DWORD* valueLength) {
  if (nameLength == nullptr || valueLength == nullptr) return E_INVALIDARG;
  const Attribute* found = AttributeAt(stream, index);
  if (found == nullptr) return E_INVALIDARG;
  const HRESULT result =
      DeliverAll(SizedOut<WORD>{found->name.c_str(), found->name.size() + 1, 2, name, nameLength},
                 SizedOut<DWORD>{found->value.data(), found->value.size(), 1, value, valueLength});
  if (SUCCEEDED(result)) {
    if (type != nullptr) *type = found->type;
    if (language != nullptr) *language = found->language;
  }
  return result;
}

HRESULT HeaderInfo::ModifyAttribute(WORD stream, WORD index, WMT_ATTR_DATATYPE type, WORD language,
                                    const BYTE* value, DWORD length) {
  if (!editable_) return NS_E_INVALID_REQUEST;
  Attribute* found = AttributeAt(stream, index);
  if (found == nullptr) return E_INVALIDARG;
  auto bytes = ValueFromCaller(type, value, length);
  if (!bytes) return E_INVALIDARG;
  found->type = type;
  found->language = language;
  found->value = std::move(*bytes);
  return S_OK;
}

HRESULT HeaderInfo::AddAttribute(WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type,
                                 WORD language, const BYTE* value, DWORD length) {
  if (!editable_) return NS_E_INVALID_REQUEST;
  if (!ValidName(name)) return E_INVALIDARG;
  auto bytes = ValueFromCaller(type, value, length);
  if (!bytes) return E_INVALIDARG;
  WORD count = 0;
  GetAttributeCountEx(stream, &count);
  if (count == 0xffff) return E_INVALIDARG;
  attributes_.push_back(Attribute{stream, name, type, language, std::move(*bytes)});
  AttributesChanged();
  if (index != nullptr) *index = count;
  return S_OK;
}

HRESULT HeaderInfo::DeleteAttribute(WORD stream, WORD index) {
  if (!editable_) return NS_E_INVALID_REQUEST;
  Attribute* found = AttributeAt(stream, index);
  if (found == nullptr) return E_INVALIDARG;
  attributes_.erase(attributes_.begin() + (found - attributes_.data()));
  AttributesChanged();
  return S_OK;
}

HRESULT HeaderInfo::AddCodecInfo(const WCHAR* name, const WCHAR* description,
                                 WMT_CODEC_INFO_TYPE codecType, WORD infoLength, BYTE* info) {
  if (!editable_) return NS_E_INVALID_REQUEST;
  if (name == nullptr || description == nullptr || (infoLength > 0 && info == nullptr))
    return E_INVALIDARG;
  const WORD type = codecType == WMT_CODECINFO_AUDIO   ? 2
                    : codecType == WMT_CODECINFO_VIDEO ? 1
                                                       : 0xffff;
  codecs_.push_back(asf::CodecEntry{type, name, description, Bytes(info, info + infoLength)});
  return S_OK;
}

}  // namespace wmvcore
