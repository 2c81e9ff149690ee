// For this system's code that does what Windows' own calls do (the runtime's file calls): the
// Win32 error code that Windows reports where this system reports an errno value. The
// stand-in's FormatMessageA gives such a code this system's own words back.
#pragma once

#include <windows.h>

DWORD Win32ErrorFromErrno(int error);
