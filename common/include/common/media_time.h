// Media time as the runtime stamps samples and files: a count of 100-nanosecond units.
#pragma once

#include <cstdint>

inline constexpr std::uint64_t kUnitsPerSecond = 10'000'000;
