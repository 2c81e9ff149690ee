// Module resources: the directory that the build placed in a module under a well-known symbol
// (module_resources.h). A resource handle is the directory entry; loading and locking it give
// its data, which stays valid while the module is loaded, as on Windows.
#include <dlfcn.h>

#include <module_resources.h>
#include <windows.h>

namespace {

const ModuleResourceDirectory* FindDirectory(HMODULE module) {
  // Like dlsym, this also sees the libraries the module depends on; only modules built with
  // a resource script define the symbol, so the first found is the module's own.
  return static_cast<const ModuleResourceDirectory*>(dlsym(module, MODULE_RESOURCES_SYMBOL));
}

}  // namespace

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (module == nullptr) module = GetModuleHandleA(nullptr);
  if (name == nullptr || type == nullptr || !IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const ModuleResourceDirectory* directory = FindDirectory(module);
  if (directory == nullptr) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  const auto wantedType = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
  const auto wantedId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  // Any language will do: the first entry of that type and identifier.
  for (DWORD i = 0; i < directory->count; ++i) {
    const ModuleResource& entry = directory->entries[i];
    if (entry.type == wantedType && entry.id == wantedId) {
      return reinterpret_cast<HRSRC>(const_cast<ModuleResource*>(&entry));
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE /*module*/, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<BYTE*>(reinterpret_cast<const ModuleResource*>(resource)->data);
}

LPVOID WINAPI LockResource(HGLOBAL resourceData) { return resourceData; }

DWORD WINAPI SizeofResource(HMODULE /*module*/, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const ModuleResource*>(resource)->size;
}

}  // extern "C"
