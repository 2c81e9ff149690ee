// Module loading over the dynamic linker: a module handle is the handle that dlopen returns.
#include <dlfcn.h>

#include <string>

#include <windows.h>

#include "kernel32/loader_words.h"

namespace {
thread_local std::string loaderWords;
}

const char* LastLoaderWords() { return loaderWords.c_str(); }

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* words = dlerror();
    loaderWords = words != nullptr ? words : "";
    SetLastError(ERROR_MOD_NOT_FOUND);
  }
  return static_cast<HMODULE>(module);
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || procName == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = dlsym(module, procName);
  if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return reinterpret_cast<FARPROC>(symbol);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  // The program itself for null; otherwise a library that is already loaded. Like Windows,
  // no reference is added: the one that dlopen adds here is dropped again at once.
  void* module = dlopen(moduleName, RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (moduleName != nullptr) dlclose(module);
  return static_cast<HMODULE>(module);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if (module == nullptr || dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
