// Handing a newly made object to a caller's out-argument: E_OUTOFMEMORY when making it failed.
#pragma once

#include <windows.h>

namespace wmvcore {

template <class Object, class Interface>
HRESULT HandOut(Object* made, Interface** target) {
  if (made == nullptr) return E_OUTOFMEMORY;
  *target = made;
  return S_OK;
}

}  // namespace wmvcore
