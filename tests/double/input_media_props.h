// IWMInputMediaProps: the writer's input format, as a copy that the caller may change and hand
// back with SetInputProps.
#pragma once

#include "double/double_object.h"
#include "double/media_props.h"

namespace runtime_double {

class InputMediaProps final
    : public DoubleObject<InputMediaProps, MediaPropsFacet<InputMediaProps, IWMInputMediaProps>> {
 public:
  InputMediaProps(RuntimeDouble& runtime, MediaFormat format);

  void* FindInterface(REFIID iid);
  MediaFormat& mediaFormat() { return format_; }

  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR*, WORD*) override;
  HRESULT STDMETHODCALLTYPE GetGroupName(WCHAR*, WORD*) override;

 private:
  MediaFormat format_;
};

}  // namespace runtime_double
