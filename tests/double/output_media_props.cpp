#include "double/output_media_props.h"

namespace runtime_double {

OutputMediaProps::OutputMediaProps(RuntimeDouble& runtime, MediaFormat format)
    : DoubleObject(runtime, "OutputProps"), format_(std::move(format)) {}

void* OutputMediaProps::FindInterface(REFIID iid) {
  if (iid == IID_IWMOutputMediaProps || iid == IID_IWMMediaProps) {
    return static_cast<IWMOutputMediaProps*>(this);
  }
  return nullptr;
}

HRESULT OutputMediaProps::GetStreamGroupName(WCHAR*, WORD*) {
  return Unexpected("OutputProps.GetStreamGroupName");
}
HRESULT OutputMediaProps::GetConnectionName(WCHAR*, WORD*) {
  return Unexpected("OutputProps.GetConnectionName");
}

}  // namespace runtime_double
