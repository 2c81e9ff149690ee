// IWMProfileManager with IWMCodecInfo, IWMCodecInfo2 and IWMCodecInfo3 in the same object, as
// the runtime's: empty profiles and the audio codec catalogue, of which it keeps a copy taken
// when it is made. Each codec's "_VBRENABLED" setting (constant bit rate until set) chooses
// which of its two format lists the format calls read. Codec-information calls are named
// "CodecInfo.Method".
#pragma once

#include <vector>

#include "double/double_object.h"

namespace runtime_double {

class ProfileManager final : public DoubleObject<ProfileManager, IWMProfileManager, IWMCodecInfo3> {
 public:
  explicit ProfileManager(RuntimeDouble& runtime);

  void* FindInterface(REFIID iid);

  // ---- IWMProfileManager ----
  HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
  HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID, IWMProfile**) override;
  HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR*, IWMProfile**) override;
  HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile*, WCHAR*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD*) override;
  HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile**) override;

  // ---- IWMCodecInfo, IWMCodecInfo2, IWMCodecInfo3 ----
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(REFGUID majorType, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormatCount(REFGUID majorType, DWORD codec,
                                                DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormat(REFGUID majorType, DWORD codec, DWORD format,
                                           IWMStreamConfig** config) override;
  HRESULT STDMETHODCALLTYPE GetCodecName(REFGUID majorType, DWORD codec, WCHAR* name,
                                         DWORD* size) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormatDesc(REFGUID majorType, DWORD codec, DWORD format,
                                               IWMStreamConfig** config, WCHAR* description,
                                               DWORD* size) override;
  HRESULT STDMETHODCALLTYPE GetCodecFormatProp(REFGUID, DWORD, DWORD, const WCHAR*,
                                               WMT_ATTR_DATATYPE*, BYTE*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetCodecProp(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                                         DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetCodecEnumerationSetting(REFGUID majorType, DWORD codec,
                                                       const WCHAR* name, WMT_ATTR_DATATYPE type,
                                                       const BYTE* value, DWORD size) override;
  HRESULT STDMETHODCALLTYPE GetCodecEnumerationSetting(REFGUID, DWORD, const WCHAR*,
                                                       WMT_ATTR_DATATYPE*, BYTE*, DWORD*) override;

 private:
  // The formats that the codec's current mode lists; null for a codec that is not audio's.
  const std::vector<CodecFormat>* FormatsOf(REFGUID majorType, DWORD codec) const;
  const CodecFormat* FormatOf(REFGUID majorType, DWORD codec, DWORD format) const;

  std::vector<Codec> codecs_;
  std::vector<bool> variableBitRate_;
};

}  // namespace runtime_double
