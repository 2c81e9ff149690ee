# Windows with mingw-w64, for the architecture whose toolchain file includes this one after
# setting WMAFILTER_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR: the filter DLL as a host loads it,
# and the runtime built as wmvcore.dll.
set(CMAKE_SYSTEM_NAME Windows)

# The compilers of the POSIX thread model: the runtime's worker threads need std::thread, which
# the default win32 model of GCC 12 lacks. Every Windows target links statically, winpthread
# included, so the DLLs import Windows' own libraries only.
set(CMAKE_C_COMPILER ${WMAFILTER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WMAFILTER_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${WMAFILTER_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${WMAFILTER_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${WMAFILTER_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${WMAFILTER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Optimised as the native build is: at -O3, GCC 12 warns falsely inside libstdc++'s string and
# variant code that the runtime uses (-Wrestrict, -Wmaybe-uninitialized).
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
# Programs and DLLs go out without their symbol tables, as a user installs them.
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE "-s" CACHE STRING "Linker flags of Release DLLs")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "Linker flags of Release programs")
