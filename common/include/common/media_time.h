// Media time as the runtime stamps samples and files: a count of 100-nanosecond units.
#pragma once

#include <windows.h>

inline constexpr QWORD kUnitsPerSecond = 10'000'000;
