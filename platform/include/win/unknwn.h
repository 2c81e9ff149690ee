// IUnknown, the base of every COM interface. Interfaces are abstract classes in the SDK's
// vtable order, with no virtual destructor, so the same calls work against any implementation.
#pragma once

#include "win/error.h"
#include "win/guid.h"
#include "win/types.h"

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IStream;

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
