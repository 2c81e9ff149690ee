// An owning COM interface pointer: releases its one reference when it goes out of scope.
// Declaring several in the order of acquisition releases them in the reverse order.
#pragma once

#include <cstddef>

#include <windows.h>

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(other.detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = other.detach();
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference that the caller already owns.
  static ComPtr Adopt(T* pointer) {
    ComPtr owned;
    owned.pointer_ = pointer;
    return owned;
  }

  // Adds a reference of its own to a borrowed pointer.
  static ComPtr CopyFrom(T* pointer) {
    if (pointer != nullptr) pointer->AddRef();
    return Adopt(pointer);
  }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Releases what is held and hands out the slot for a call's out-argument.
  T** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  void reset() {
    if (pointer_ == nullptr) return;
    T* released = pointer_;
    pointer_ = nullptr;
    released->Release();
  }

  // Gives the reference to the caller, who then owns it.
  [[nodiscard]] T* detach() {
    T* detached = pointer_;
    pointer_ = nullptr;
    return detached;
  }

  // Asks the held object for another of its interfaces.
  template <class U>
  HRESULT query_to(REFIID iid, ComPtr<U>& target) const {
    return pointer_->QueryInterface(iid, target.put_void());
  }

 private:
  T* pointer_ = nullptr;
};
