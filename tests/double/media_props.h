// IWMMediaProps as the output properties, the input properties and the stream configurations
// of the double answer it, over the media type that their owner holds. The owner is a
// DoubleObject with `MediaFormat& mediaFormat()`.
#pragma once

#include <string>
#include <string_view>

#include "double/describe.h"
#include "double/media_type.h"
#include "double/runtime_double.h"

namespace runtime_double {

template <class Owner, class Interface>
class MediaPropsFacet : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetType(GUID*) override { return Self().Unexpected(Call("GetType")); }

  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    const HRESULT planned =
        Self().Enter(Call("GetMediaType"), PointerText(type) + ", " + SizeText(size));
    if (FAILED(planned)) return planned;
    return WriteMediaType(Self().mediaFormat(), type, size);
  }

  HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
    MediaFormat format;
    const HRESULT read = ReadMediaType(type, format);
    const HRESULT planned =
        Self().Enter(Call("SetMediaType"), SUCCEEDED(read) ? FormatText(format) : "invalid");
    if (SUCCEEDED(read)) Self().runtime().record().mediaTypesSet.push_back({Self().kind(), format});
    if (FAILED(planned)) return planned;
    if (FAILED(read)) return read;
    Self().mediaFormat() = std::move(format);
    return S_OK;
  }

 protected:
  std::string Call(std::string_view method) {
    return std::string(Self().kind()) + "." + std::string(method);
  }

 private:
  Owner& Self() { return static_cast<Owner&>(*this); }
};

}  // namespace runtime_double
