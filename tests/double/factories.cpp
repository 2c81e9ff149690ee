// The runtime's three factories, answered by the installed RuntimeDouble.
#include <string>

#include "double/describe.h"
#include "double/profile_manager.h"
#include "double/sync_reader.h"
#include "double/writer.h"

using runtime_double::PointerText;
using runtime_double::RuntimeDouble;

namespace {

// Logs the factory call and makes the object unless a failure is planned.
template <class Object, class Interface>
HRESULT Create(std::string_view factory, std::string_view arguments, Interface** created) {
  RuntimeDouble* runtime = RuntimeDouble::Installed(factory);
  if (created == nullptr) return E_POINTER;
  *created = nullptr;
  if (runtime == nullptr) return E_UNEXPECTED;
  const HRESULT planned = runtime->Enter(factory, arguments);
  if (FAILED(planned)) return planned;
  *created = MakeComObject<Object>(*runtime);
  return *created == nullptr ? E_OUTOFMEMORY : S_OK;
}

}  // namespace

extern "C" {

HRESULT WINAPI WMCreateSyncReader(IUnknown* certificate, DWORD rights, IWMSyncReader** reader) {
  return Create<runtime_double::SyncReader>(
      "WMCreateSyncReader", PointerText(certificate) + ", " + std::to_string(rights), reader);
}

HRESULT WINAPI WMCreateWriter(IUnknown* certificate, IWMWriter** writer) {
  return Create<runtime_double::Writer>("WMCreateWriter", PointerText(certificate), writer);
}

HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** manager) {
  return Create<runtime_double::ProfileManager>("WMCreateProfileManager", "", manager);
}

}  // extern "C"
