#include "double/header_contents.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace runtime_double {

namespace {

template <class Number>
bool Fits(const void* buffer, const Number* room, std::size_t needed) {
  return buffer == nullptr || *room >= needed;
}

void CopyBytes(const std::vector<BYTE>& bytes, BYTE* target) {
  if (target != nullptr && !bytes.empty()) std::memcpy(target, bytes.data(), bytes.size());
}

}  // namespace

HRESULT HeaderContents::GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                           BYTE* value, WORD* length) const {
  if (stream == nullptr || length == nullptr) return E_POINTER;
  if (name == nullptr) return E_INVALIDARG;
  const auto found = std::find_if(attributes.begin(), attributes.end(), [&](const Attribute& a) {
    return a.stream == *stream && a.name == name;
  });
  if (found == attributes.end()) return ASF_E_NOTFOUND;
  const std::size_t needed = found->value.bytes.size();
  if (!Fits(value, length, needed)) {
    *length = static_cast<WORD>(needed);
    return ASF_E_BUFFERTOOSMALL;
  }
  if (type != nullptr) *type = found->value.type;
  CopyBytes(found->value.bytes, value);
  *length = static_cast<WORD>(needed);
  return S_OK;
}

HRESULT HeaderContents::GetAttributeByIndexEx(WORD stream, WORD index, WCHAR* name,
                                              WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                              WORD* language, BYTE* value, DWORD* length) const {
  if (nameLength == nullptr || length == nullptr) return E_POINTER;
  const Attribute* found = nullptr;
  WORD position = 0;
  for (const Attribute& attribute : attributes) {
    if (attribute.stream != stream) continue;
    if (position++ == index) {
      found = &attribute;
      break;
    }
  }
  if (found == nullptr) return E_INVALIDARG;
  const std::size_t nameNeeded = found->name.size() + 1 + found->claimedNameExtraUnits;
  const std::size_t valueNeeded = found->value.bytes.size();
  const DWORD valueRoom = *length;
  if (!Fits(name, nameLength, nameNeeded) || !Fits(value, length, valueNeeded)) {
    *nameLength = static_cast<WORD>(nameNeeded);
    *length = static_cast<DWORD>(valueNeeded);
    return ASF_E_BUFFERTOOSMALL;
  }
  if (type != nullptr) *type = found->value.type;
  if (language != nullptr) *language = found->language;
  *nameLength = static_cast<WORD>(OverclaimedText(found->name, found->claimedNameExtraUnits, name));
  CopyBytes(found->value.bytes, value);
  *length = static_cast<DWORD>(valueNeeded);
  if (found->claimedLength && value == nullptr) *length = *found->claimedLength;
  if (found->claimedLength && value != nullptr) {
    const std::size_t claimed = std::min<std::size_t>(*found->claimedLength, valueRoom);
    if (claimed > valueNeeded) std::fill(value + valueNeeded, value + claimed, BYTE{'Z'});
  }
  return S_OK;
}

HRESULT HeaderContents::GetCodecInfo(DWORD index, WORD* nameLength, WCHAR* name,
                                     WORD* descriptionLength, WCHAR* description,
                                     WMT_CODEC_INFO_TYPE* type, WORD* infoLength,
                                     BYTE* info) const {
  if (nameLength == nullptr || descriptionLength == nullptr || infoLength == nullptr) {
    return E_POINTER;
  }
  if (index >= codecs.size()) return E_INVALIDARG;
  const CodecEntry& codec = codecs[index];
  const std::size_t nameNeeded = codec.name.size() + 1 + codec.claimedExtraUnits;
  const std::size_t descriptionNeeded = codec.description.size() + 1 + codec.claimedExtraUnits;
  const std::size_t infoNeeded = codec.info.size();
  const bool fits = Fits(name, nameLength, nameNeeded) &&
                    Fits(description, descriptionLength, descriptionNeeded) &&
                    Fits(info, infoLength, infoNeeded);
  *infoLength = static_cast<WORD>(infoNeeded);
  if (!fits) {
    *nameLength = static_cast<WORD>(nameNeeded);
    *descriptionLength = static_cast<WORD>(descriptionNeeded);
    return ASF_E_BUFFERTOOSMALL;
  }
  if (type != nullptr) *type = codec.type;
  *nameLength = static_cast<WORD>(OverclaimedText(codec.name, codec.claimedExtraUnits, name));
  *descriptionLength =
      static_cast<WORD>(OverclaimedText(codec.description, codec.claimedExtraUnits, description));
  CopyBytes(codec.info, info);
  return S_OK;
}

HRESULT HeaderContents::SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type,
                                     const BYTE* value, WORD length) {
  if (name == nullptr || *name == 0) return E_INVALIDARG;
  if (value == nullptr && length != 0) return E_POINTER;
  TypedValue typed{
      type, value == nullptr ? std::vector<BYTE>{} : std::vector<BYTE>(value, value + length)};
  const auto found = std::find_if(attributes.begin(), attributes.end(), [&](const Attribute& a) {
    return a.stream == stream && a.name == name;
  });
  if (found != attributes.end()) {
    found->value = std::move(typed);
  } else {
    attributes.push_back({name, std::move(typed), 0, stream});
  }
  return S_OK;
}

}  // namespace runtime_double
