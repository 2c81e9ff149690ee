// COM initialisation on the calling thread, in the single-threaded apartment. Every successful
// initialisation (S_FALSE included) is balanced by exactly one CoUninitialize: at the end of
// the scope, or, when kept, by the close of the context that the open created.
#pragma once

#include <windows.h>

class ScopedComApartment {
 public:
  ScopedComApartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;
  ~ScopedComApartment() {
    if (entered_) CoUninitialize();
  }

  bool entered() const { return entered_; }

  // Leaves COM initialised for the life of a context; its close calls LeaveComApartment.
  void Keep() { entered_ = false; }

 private:
  bool entered_;
};

// Undoes the initialisation that a successful open kept.
inline void LeaveComApartment() { CoUninitialize(); }
