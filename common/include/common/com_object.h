// One reference-counting base for the COM objects of the runtime and the test double:
// QueryInterface, AddRef and Release over a list of implemented interfaces. Over the platform
// stand-ins each object's lifetime is reported to their live-object count, which tests read; an
// object is live from its creation to its final Release, which then deletes it.
//
// A derived class implements `void* FindInterface(REFIID)`, returning the interface pointer for
// every identifier it answers besides IUnknown, or null. It may also hide `Destroy()`, which the
// final Release calls, to observe the end of the object or keep its memory a while.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include <windows.h>

#ifndef _WIN32
#include <platform_testing.h>
#endif

// The platform stand-ins count live objects for tests; Windows keeps no such count.
namespace com_object_count {
#ifdef _WIN32
inline void Created() {}
inline void Destroyed() {}
#else
inline void Created() { platform_testing::NoteComObjectCreated(); }
inline void Destroyed() { platform_testing::NoteComObjectDestroyed(); }
#endif
}  // namespace com_object_count

template <class Derived, class FirstInterface, class... OtherInterfaces>
class ComObject : public FirstInterface, public OtherInterfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    void* found = IsEqualGUID(iid, IID_IUnknown)
                      ? static_cast<IUnknown*>(static_cast<FirstInterface*>(this))
                      : static_cast<Derived*>(this)->FindInterface(iid);
    *object = found;
    if (found == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }

  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      com_object_count::Destroyed();
      static_cast<Derived*>(this)->Destroy();
    }
    return left;
  }

  // The identity pointer, for comparisons and logs.
  IUnknown* Identity() { return static_cast<IUnknown*>(static_cast<FirstInterface*>(this)); }

 protected:
  ComObject() { com_object_count::Created(); }
  // Virtual, for objects made as a class derived from Derived (the runtime's boundary). Its
  // entries follow every interface method in the first interface's table: no caller looks there.
  virtual ~ComObject() = default;

  void Destroy() { delete static_cast<Derived*>(this); }

 private:
  std::atomic<ULONG> references_{1};
};

// Creates an object holding one reference, or null when memory is exhausted.
template <class T, class... Args>
T* MakeComObject(Args&&... args) {
  return new (std::nothrow) T(std::forward<Args>(args)...);
}
