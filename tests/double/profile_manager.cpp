#include "double/profile_manager.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "double/describe.h"
#include "double/profile.h"
#include "double/stream_config.h"

namespace runtime_double {

namespace {

constexpr char16_t kVbrEnabled[] = u"_VBRENABLED";

std::string CodecArguments(REFGUID majorType, DWORD codec) {
  return MajorTypeName(majorType) + ", " + std::to_string(codec);
}

bool IsKnownVersion(WMT_VERSION version) {
  return version == WMT_VER_4_0 || version == WMT_VER_7_0 || version == WMT_VER_8_0 ||
         version == WMT_VER_9_0;
}

// GetCodecName's and GetCodecFormatDesc's protocol, in UTF-16 units with the terminator.
HRESULT CopyText(const std::u16string& text, DWORD extra, WCHAR* target, DWORD* size) {
  const DWORD needed = static_cast<DWORD>(text.size() + 1 + extra);
  if (target != nullptr && *size < needed) {
    *size = needed;
    return ASF_E_BUFFERTOOSMALL;
  }
  *size = static_cast<DWORD>(OverclaimedText(text, extra, target));
  return S_OK;
}

}  // namespace

ProfileManager::ProfileManager(RuntimeDouble& runtime)
    : DoubleObject(runtime, "ProfileManager"),
      codecs_(runtime.codecs),
      variableBitRate_(codecs_.size(), false) {}

void* ProfileManager::FindInterface(REFIID iid) {
  if (iid == IID_IWMProfileManager) return static_cast<IWMProfileManager*>(this);
  if (iid == IID_IWMCodecInfo || iid == IID_IWMCodecInfo2 || iid == IID_IWMCodecInfo3) {
    return static_cast<IWMCodecInfo3*>(this);
  }
  return nullptr;
}

HRESULT ProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%X", static_cast<unsigned>(version));
  const HRESULT planned = Enter("ProfileManager.CreateEmptyProfile", hex);
  if (FAILED(planned)) return planned;
  if (profile == nullptr) return E_POINTER;
  *profile = nullptr;
  if (!IsKnownVersion(version)) return E_INVALIDARG;
  *profile = MakeComObject<Profile>(runtime());
  return *profile == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ProfileManager::GetCodecInfoCount(REFGUID majorType, DWORD* count) {
  const HRESULT planned = Enter("CodecInfo.GetCodecInfoCount", MajorTypeName(majorType));
  if (FAILED(planned)) return planned;
  if (count == nullptr) return E_POINTER;
  if (majorType == WMMEDIATYPE_Audio) {
    *count = static_cast<DWORD>(codecs_.size());
  } else if (majorType == WMMEDIATYPE_Video) {
    *count = 0;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT ProfileManager::GetCodecFormatCount(REFGUID majorType, DWORD codec, DWORD* count) {
  const HRESULT planned = Enter("CodecInfo.GetCodecFormatCount", CodecArguments(majorType, codec));
  if (FAILED(planned)) return planned;
  if (count == nullptr) return E_POINTER;
  const std::vector<CodecFormat>* formats = FormatsOf(majorType, codec);
  if (formats == nullptr) return E_INVALIDARG;
  *count = static_cast<DWORD>(formats->size());
  return S_OK;
}

HRESULT ProfileManager::GetCodecFormat(REFGUID majorType, DWORD codec, DWORD format,
                                       IWMStreamConfig** config) {
  const HRESULT planned = Enter("CodecInfo.GetCodecFormat",
                                CodecArguments(majorType, codec) + ", " + std::to_string(format));
  if (FAILED(planned)) return planned;
  if (config == nullptr) return E_POINTER;
  *config = nullptr;
  const CodecFormat* found = FormatOf(majorType, codec, format);
  if (found == nullptr) return E_INVALIDARG;
  *config = MakeComObject<StreamConfig>(runtime(), found->format);
  return *config == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ProfileManager::GetCodecName(REFGUID majorType, DWORD codec, WCHAR* name, DWORD* size) {
  const HRESULT planned =
      Enter("CodecInfo.GetCodecName",
            CodecArguments(majorType, codec) + ", " + PointerText(name) + ", " + SizeText(size));
  if (FAILED(planned)) return planned;
  if (size == nullptr) return E_POINTER;
  if (FormatsOf(majorType, codec) == nullptr) return E_INVALIDARG;
  return CopyText(codecs_[codec].name, codecs_[codec].claimedExtraUnits, name, size);
}

HRESULT ProfileManager::GetCodecFormatDesc(REFGUID majorType, DWORD codec, DWORD format,
                                           IWMStreamConfig** config, WCHAR* description,
                                           DWORD* size) {
  const HRESULT planned =
      Enter("CodecInfo.GetCodecFormatDesc",
            CodecArguments(majorType, codec) + ", " + std::to_string(format) + ", " +
                PointerText(config) + ", " + PointerText(description) + ", " + SizeText(size));
  if (FAILED(planned)) return planned;
  if (size == nullptr) return E_POINTER;
  if (config != nullptr) *config = nullptr;
  const CodecFormat* found = FormatOf(majorType, codec, format);
  if (found == nullptr) return E_INVALIDARG;
  // The text first, so that a buffer too small hands out no configuration.
  const HRESULT copied =
      CopyText(found->description, codecs_[codec].claimedExtraUnits, description, size);
  if (FAILED(copied) || config == nullptr || !found->withConfig) return copied;
  *config = MakeComObject<StreamConfig>(runtime(), found->format);
  return *config == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ProfileManager::SetCodecEnumerationSetting(REFGUID majorType, DWORD codec,
                                                   const WCHAR* name, WMT_ATTR_DATATYPE type,
                                                   const BYTE* value, DWORD size) {
  runtime().record().enumerationSettings.push_back(
      {majorType,
       codec,
       name == nullptr ? u"" : name,
       {type, value == nullptr ? std::vector<BYTE>{} : std::vector<BYTE>(value, value + size)},
       size});
  const HRESULT planned =
      Enter("CodecInfo.SetCodecEnumerationSetting",
            CodecArguments(majorType, codec) + ", " + TextOf(name) + ", " + TypeName(type) + ", " +
                ValueText(type, value, size) + ", " + std::to_string(size));
  if (FAILED(planned)) return planned;
  if (FormatsOf(majorType, codec) == nullptr) return E_INVALIDARG;
  if (name == nullptr || std::u16string_view(name) != kVbrEnabled) return E_INVALIDARG;
  if (type != WMT_TYPE_BOOL || value == nullptr || size != sizeof(BOOL)) return E_INVALIDARG;
  BOOL enabled;
  std::memcpy(&enabled, value, sizeof(enabled));
  variableBitRate_[codec] = enabled != FALSE;
  return S_OK;
}

const std::vector<CodecFormat>* ProfileManager::FormatsOf(REFGUID majorType, DWORD codec) const {
  if (majorType != WMMEDIATYPE_Audio || codec >= codecs_.size()) return nullptr;
  return variableBitRate_[codec] ? &codecs_[codec].vbr : &codecs_[codec].cbr;
}

const CodecFormat* ProfileManager::FormatOf(REFGUID majorType, DWORD codec, DWORD format) const {
  const std::vector<CodecFormat>* formats = FormatsOf(majorType, codec);
  if (formats == nullptr || format >= formats->size()) return nullptr;
  return &(*formats)[format];
}

HRESULT ProfileManager::LoadProfileByID(REFGUID, IWMProfile**) {
  return Unexpected("ProfileManager.LoadProfileByID");
}
HRESULT ProfileManager::LoadProfileByData(const WCHAR*, IWMProfile**) {
  return Unexpected("ProfileManager.LoadProfileByData");
}
HRESULT ProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) {
  return Unexpected("ProfileManager.SaveProfile");
}
HRESULT ProfileManager::GetSystemProfileCount(DWORD*) {
  return Unexpected("ProfileManager.GetSystemProfileCount");
}
HRESULT ProfileManager::LoadSystemProfile(DWORD, IWMProfile**) {
  return Unexpected("ProfileManager.LoadSystemProfile");
}
HRESULT ProfileManager::GetCodecFormatProp(REFGUID, DWORD, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*,
                                           BYTE*, DWORD*) {
  return Unexpected("CodecInfo.GetCodecFormatProp");
}
HRESULT ProfileManager::GetCodecProp(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                                     DWORD*) {
  return Unexpected("CodecInfo.GetCodecProp");
}
HRESULT ProfileManager::GetCodecEnumerationSetting(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*,
                                                   BYTE*, DWORD*) {
  return Unexpected("CodecInfo.GetCodecEnumerationSetting");
}

}  // namespace runtime_double
