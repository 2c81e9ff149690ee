#include "double/input_media_props.h"

namespace runtime_double {

InputMediaProps::InputMediaProps(RuntimeDouble& runtime, MediaFormat format)
    : DoubleObject(runtime, "InputProps"), format_(std::move(format)) {}

void* InputMediaProps::FindInterface(REFIID iid) {
  if (iid == IID_IWMInputMediaProps || iid == IID_IWMMediaProps) {
    return static_cast<IWMInputMediaProps*>(this);
  }
  return nullptr;
}

HRESULT InputMediaProps::GetConnectionName(WCHAR*, WORD*) {
  return Unexpected("InputProps.GetConnectionName");
}
HRESULT InputMediaProps::GetGroupName(WCHAR*, WORD*) {
  return Unexpected("InputProps.GetGroupName");
}

}  // namespace runtime_double
