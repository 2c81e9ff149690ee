// IWMOutputMediaProps: one format the reader offers for an output, as a copy of its media type.
#pragma once

#include "double/double_object.h"
#include "double/media_props.h"

namespace runtime_double {

class OutputMediaProps final
    : public DoubleObject<OutputMediaProps,
                          MediaPropsFacet<OutputMediaProps, IWMOutputMediaProps>> {
 public:
  OutputMediaProps(RuntimeDouble& runtime, MediaFormat format);

  void* FindInterface(REFIID iid);
  MediaFormat& mediaFormat() { return format_; }

  HRESULT STDMETHODCALLTYPE GetStreamGroupName(WCHAR*, WORD*) override;
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR*, WORD*) override;

 private:
  MediaFormat format_;
};

}  // namespace runtime_double
