// The media-properties objects: IWMOutputMediaProps, one format that a reader output offers,
// and IWMInputMediaProps, the format that a writer input takes. Each holds a media type by
// value; the caller changes it with SetMediaType and hands the object back to the reader's
// SetOutputProps or the writer's SetInputProps, which judge it.
#pragma once

#include <windows.h>
#include <wmsdk.h>

#include "com/media_type.h"
#include "com/text_out.h"
#include "common/com_object.h"
#include "common/wide_text.h"

namespace wmvcore {

// GetType, GetMediaType and SetMediaType over the held type, for both kinds.
template <class Derived, class Interface>
class MediaPropsBase : public ComObject<Derived, Interface> {
 protected:
  // Through MakeRuntimeObject (com_boundary.h).
  explicit MediaPropsBase(MediaType type) : type_(std::move(type)) {}

 public:
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override {
    if (type == nullptr) return E_POINTER;
    *type = type_.majortype;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    return type_.CopyTo(type, size);
  }
  HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
    auto copy = MediaType::From(type);
    if (!copy) return E_INVALIDARG;
    type_ = std::move(*copy);
    return S_OK;
  }

  const MediaType& type() const { return type_; }

 private:
  MediaType type_;
};

// Names are not used by this runtime: every one is empty.
inline HRESULT EmptyName(WCHAR* name, WORD* length) { return CopyText(WideString(), name, length); }

class OutputMediaProps : public MediaPropsBase<OutputMediaProps, IWMOutputMediaProps> {
 public:
  using MediaPropsBase::MediaPropsBase;
  HRESULT STDMETHODCALLTYPE GetStreamGroupName(WCHAR* name, WORD* length) override {
    return EmptyName(name, length);
  }
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) override {
    return EmptyName(name, length);
  }
  void* FindInterface(REFIID iid);
};

class InputMediaProps : public MediaPropsBase<InputMediaProps, IWMInputMediaProps> {
 public:
  using MediaPropsBase::MediaPropsBase;
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* length) override {
    return EmptyName(name, length);
  }
  HRESULT STDMETHODCALLTYPE GetGroupName(WCHAR* name, WORD* length) override {
    return EmptyName(name, length);
  }
  void* FindInterface(REFIID iid);
};

}  // namespace wmvcore
