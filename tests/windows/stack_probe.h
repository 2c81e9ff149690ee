// Calls a function found by name with 32-bit arguments and measures what it does to the stack,
// which is how a caller tells a stdcall function (it removes its arguments) from a cdecl one,
// and how many argument slots the function takes.
#pragma once

#include <windows.h>

#include <initializer_list>

static_assert(sizeof(void*) == 4, "the probe pushes 32-bit stack slots");

struct ProbedCall {
  ULONGLONG result = 0;    // EDX:EAX after the call
  DWORD bytesRemoved = 0;  // argument bytes the function took off the stack as it returned
};

ProbedCall CallAndMeasure(FARPROC function, std::initializer_list<DWORD> arguments);

// A pointer as the 32-bit argument slot that holds it.
template <class T>
DWORD Slot(T* pointer) {
  return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(pointer));
}
