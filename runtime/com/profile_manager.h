// The profile manager (IWMProfileManager, with the codec information interfaces on the same
// object): makes empty profiles; offers no stored or system profiles.
#pragma once

#include <windows.h>
#include <wmsdk.h>

#include "com/codec_info.h"
#include "common/com_object.h"

namespace wmvcore {

class ProfileManager : public ComObject<ProfileManager, IWMProfileManager, CodecInfo> {
 protected:
  ProfileManager() = default;  // through MakeRuntimeObject (com_boundary.h)

 public:
  HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
  HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID id, IWMProfile** profile) override;
  HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* data, IWMProfile** profile) override;
  HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile* profile, WCHAR* data, DWORD* length) override;
  HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD index, IWMProfile** profile) override;

  void* FindInterface(REFIID iid);
};

}  // namespace wmvcore
