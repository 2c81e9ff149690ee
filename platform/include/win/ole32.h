// The COM library's apartment calls, with Windows' per-thread reference counting.
#pragma once

#include "win/error.h"
#include "win/guid.h"
#include "win/types.h"

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
#define COINIT_SPEED_OVER_MEMORY 0x8u

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit);
void WINAPI CoUninitialize();

}  // extern "C"
