// The media runtime that the filter library loaded. The host loads none of its own: it asks the
// runtime under the filter, the one whose answers the filter acts on.
#pragma once

#include <windows.h>

// The loaded runtime's export of this name as a function of type Function, or null when no
// runtime is loaded or it has no such export.
FARPROC LoadedRuntimeExport(const char* name);

template <class Function>
Function LoadedRuntimeFunction(const char* name) {
  // Through void (*)(), the generic function pointer type, which casts to any other.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(LoadedRuntimeExport(name)));
}
