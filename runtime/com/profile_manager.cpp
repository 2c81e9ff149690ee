#include "com/profile_manager.h"

#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/hand_out.h"
#include "com/profile.h"

namespace wmvcore {

void* ProfileManager::FindInterface(REFIID iid) {
  if (iid == IID_IWMProfileManager) return static_cast<IWMProfileManager*>(this);
  if (iid == IID_IWMCodecInfo || iid == IID_IWMCodecInfo2 || iid == IID_IWMCodecInfo3)
    return static_cast<IWMCodecInfo3*>(this);
  return nullptr;
}

HRESULT ProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) {
  if (profile == nullptr) return E_POINTER;
  if (version != WMT_VER_4_0 && version != WMT_VER_7_0 && version != WMT_VER_8_0 &&
      version != WMT_VER_9_0)
    return E_INVALIDARG;
  return HandOut(MakeRuntimeObject<Profile>(version), profile);
}

// Profiles are built from codec formats here; none are stored, saved or shipped.
HRESULT ProfileManager::LoadProfileByID(REFGUID, IWMProfile**) { return NS_E_INVALID_REQUEST; }
HRESULT ProfileManager::LoadProfileByData(const WCHAR*, IWMProfile**) { return E_NOTIMPL; }
HRESULT ProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) { return E_NOTIMPL; }

HRESULT ProfileManager::GetSystemProfileCount(DWORD* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ProfileManager::LoadSystemProfile(DWORD, IWMProfile**) { return E_INVALIDARG; }

}  // namespace wmvcore
