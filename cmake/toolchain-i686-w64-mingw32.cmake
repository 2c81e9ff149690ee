# 32-bit Windows: the artefact that the host editor loads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WMAFILTER_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
