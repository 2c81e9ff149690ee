// The result codes of the runtime's interfaces. On Windows the NS_E_ codes come from
// mingw-w64's <nserror.h>, and the ASF_E_ codes of the SDK's asferr.h, which mingw-w64 does not
// ship, are defined here; the platform's <wmsdk.h> declares both.
#pragma once

#include <windows.h>
#include <wmsdk.h>

#ifdef _WIN32
#include <nserror.h>

#define ASF_E_BUFFERTOOSMALL _HRESULT_TYPEDEF_(0xC00D07D1L)
#define ASF_E_INVALIDHEADER _HRESULT_TYPEDEF_(0xC00D07E2L)
#define ASF_E_NOTFOUND _HRESULT_TYPEDEF_(0xC00D07F0L)
#endif
