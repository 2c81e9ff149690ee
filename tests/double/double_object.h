// The base of every object of the runtime double: ComObject's reference counting, with each
// call logged and checked against the failure plan, QueryInterface failable per interface, and
// misuse after the final release reported instead of reaching freed memory.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "common/com_object.h"

#include "double/runtime_double.h"

namespace runtime_double {

template <class Derived, class... Interfaces>
class DoubleObject : public ComObject<Derived, Interfaces...> {
  using Base = ComObject<Derived, Interfaces...>;

 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    const HRESULT planned = runtime_.EnterQuery(kind_, iid);
    if (!IsAlive("QueryInterface") || FAILED(planned)) {
      if (object != nullptr) *object = nullptr;
      return FAILED(planned) ? planned : E_UNEXPECTED;
    }
    return Base::QueryInterface(iid, object);
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return IsAlive("AddRef") ? Base::AddRef() : 0; }

  ULONG STDMETHODCALLTYPE Release() override {
    if (released_) {
      ADD_FAILURE() << "runtime double: Release of " << kind_ << " #" << serial_
                    << ", which has no references left";
      return 0;
    }
    const ULONG left = Base::Release();
    runtime_.record().releases.push_back({kind_, serial_, left});
    return left;
  }

  // Logs the call and gives what it must return before doing anything: a planned failure,
  // E_UNEXPECTED on a released object, or S_OK to go on.
  HRESULT Enter(std::string_view call, std::string_view arguments) {
    const HRESULT planned = runtime_.Enter(call, arguments);
    return IsAlive(call) ? planned : E_UNEXPECTED;
  }

  // A method that the filter has no business calling: fails the test.
  HRESULT Unexpected(std::string_view call) {
    runtime_.Unexpected(call);
    return E_NOTIMPL;
  }

  RuntimeDouble& runtime() const { return runtime_; }
  const char* kind() const { return kind_; }

 protected:
  DoubleObject(RuntimeDouble& runtime, const char* kind)
      : runtime_(runtime), kind_(kind), serial_(runtime.NoteCreated(kind)) {}

 private:
  friend Base;

  // Called by the final Release: the runtime keeps the memory until it goes. What the object
  // holds may go at once (DropContents), so that long runs do not gather every sample's bytes.
  void Destroy() {
    released_ = true;
    if constexpr (requires(Derived & object) { object.DropContents(); }) {
      static_cast<Derived*>(this)->DropContents();
    }
    runtime_.NoteFinalRelease(serial_, static_cast<Derived*>(this),
                              [](void* memory) { delete static_cast<Derived*>(memory); });
  }

  bool IsAlive(std::string_view call) const {
    if (!released_) return true;
    ADD_FAILURE() << "runtime double: " << call << " on " << kind_ << " #" << serial_
                  << " after its final release";
    return false;
  }

  RuntimeDouble& runtime_;
  const char* kind_;
  unsigned serial_;
  bool released_ = false;
};

}  // namespace runtime_double
