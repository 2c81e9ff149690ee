// The runtime's three factories. Nothing is implemented yet: every factory refuses.
#include <wmsdk.h>

extern "C" {

HRESULT WINAPI WMCreateSyncReader(IUnknown*, DWORD, IWMSyncReader** reader) {
  if (reader != nullptr) *reader = nullptr;
  return E_NOTIMPL;
}

HRESULT WINAPI WMCreateWriter(IUnknown*, IWMWriter** writer) {
  if (writer != nullptr) *writer = nullptr;
  return E_NOTIMPL;
}

HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** manager) {
  if (manager != nullptr) *manager = nullptr;
  return E_NOTIMPL;
}

}  // extern "C"
