#include "media_props.h"

namespace wmvcore {

HRESULT EmptyName(WCHAR* name, WORD* length) {
  if (length == nullptr) return E_POINTER;
  if (name != nullptr) {
    if (*length < 1) {
      *length = 1;
      return ASF_E_BUFFERTOOSMALL;
    }
    name[0] = 0;
  }
  *length = 1;
  return S_OK;
}

void* OutputMediaProps::FindInterface(REFIID iid) {
  if (iid == IID_IWMOutputMediaProps || iid == IID_IWMMediaProps)
    return static_cast<IWMOutputMediaProps*>(this);
  return nullptr;
}

void* InputMediaProps::FindInterface(REFIID iid) {
  if (iid == IID_IWMInputMediaProps || iid == IID_IWMMediaProps)
    return static_cast<IWMInputMediaProps*>(this);
  return nullptr;
}

}  // namespace wmvcore
