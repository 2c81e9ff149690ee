#include "com/media_props.h"

namespace wmvcore {

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
