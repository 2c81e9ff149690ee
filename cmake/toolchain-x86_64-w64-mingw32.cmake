# 64-bit Windows: the same sources for 64-bit hosts, and a world that 64-bit Wine runs on any
# x86-64 kernel, also one that cannot start 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WMAFILTER_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
