// COM initialisation per thread, as Windows counts it: the first CoInitializeEx on a thread
// enters an apartment (S_OK), later ones with the same model only count (S_FALSE), a different
// model is refused (RPC_E_CHANGED_MODE), and each successful call needs one CoUninitialize.
#include <platform_testing.h>
#include <windows.h>

namespace {

using platform_testing::ApartmentModel;

thread_local platform_testing::ApartmentState apartment{ApartmentModel::kNone, 0};

}  // namespace

namespace platform_testing {

ApartmentState CurrentApartment() { return apartment; }

}  // namespace platform_testing

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit) {
  if (reserved != nullptr) return E_INVALIDARG;
  const ApartmentModel model = (coInit & COINIT_APARTMENTTHREADED) ? ApartmentModel::kSingleThreaded
                                                                   : ApartmentModel::kMultiThreaded;
  if (apartment.initializations == 0) {
    apartment = {model, 1};
    return S_OK;
  }
  if (apartment.model != model) return RPC_E_CHANGED_MODE;
  ++apartment.initializations;
  return S_FALSE;
}

void WINAPI CoUninitialize() {
  if (apartment.initializations == 0) return;
  if (--apartment.initializations == 0) apartment.model = ApartmentModel::kNone;
}

}  // extern "C"
