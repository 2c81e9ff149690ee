#include "loaded_runtime.h"

namespace {

#ifdef _WIN32
constexpr char kRuntimeLibrary[] = "wmvcore.dll";
#else
constexpr char kRuntimeLibrary[] = "libwmvcore.so";
#endif

}  // namespace

FARPROC LoadedRuntimeExport(const char* name) {
  const HMODULE runtime = GetModuleHandleA(kRuntimeLibrary);
  return runtime != nullptr ? GetProcAddress(runtime, name) : nullptr;
}
