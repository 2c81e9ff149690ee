# FFmpeg for the Windows runtime: the version of the native build's FFmpeg, cross-built from
# Debian's source package at configure time (see build-windows-ffmpeg.sh), and offered as the
# target windows_ffmpeg. A machine that has it does not build it again.
execute_process(COMMAND dpkg-query -W -f=\${source:Version} libavcodec-dev
                OUTPUT_VARIABLE native_ffmpeg_version RESULT_VARIABLE query_result)
if(NOT query_result EQUAL 0 OR native_ffmpeg_version STREQUAL "")
  set(native_ffmpeg_version "")
endif()
set(WMAFILTER_FFMPEG_VERSION "${native_ffmpeg_version}" CACHE STRING
    "The version of Debian's FFmpeg source package built for the Windows runtime")
if(WMAFILTER_FFMPEG_VERSION STREQUAL "")
  message(FATAL_ERROR "No FFmpeg version to build for Windows: install libavcodec-dev "
                      "(tools/install-deps) or set WMAFILTER_FFMPEG_VERSION")
endif()

# Kept for the machine, not the build tree: every clone and build tree of the same architecture
# shares one build of each version, so a fresh clone does not build FFmpeg again. The name holds
# the compiler's target and a digest of the build script and of the compiler's version, so a
# changed recipe or an upgraded compiler (whose static libraries the DLL links) builds anew.
if(DEFINED ENV{XDG_CACHE_HOME})
  set(default_ffmpeg_cache $ENV{XDG_CACHE_HOME}/wmafilter/ffmpeg)
elseif(DEFINED ENV{HOME})
  set(default_ffmpeg_cache $ENV{HOME}/.cache/wmafilter/ffmpeg)
else()
  set(default_ffmpeg_cache ${CMAKE_BINARY_DIR}/ffmpeg)
endif()
set(WMAFILTER_FFMPEG_CACHE ${default_ffmpeg_cache} CACHE PATH
    "Where the FFmpeg builds for Windows are kept, shared by every build tree of the machine")
file(SHA256 ${CMAKE_CURRENT_LIST_DIR}/build-windows-ffmpeg.sh recipe_digest)
string(SHA256 recipe_digest
       "${recipe_digest} ${CMAKE_C_COMPILER_ID} ${CMAKE_C_COMPILER_VERSION}")
string(SUBSTRING ${recipe_digest} 0 12 recipe_digest)
set(ffmpeg_work_dir ${WMAFILTER_FFMPEG_CACHE}/${WMAFILTER_MINGW_PREFIX}-${recipe_digest})
string(REGEX REPLACE "^[0-9]+:" "" ffmpeg_directory "${WMAFILTER_FFMPEG_VERSION}")
set(WINDOWS_FFMPEG_PREFIX ${ffmpeg_work_dir}/${ffmpeg_directory}/install)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ffmpeg_arch x86_64)
else()
  set(ffmpeg_arch x86)
endif()
execute_process(
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/build-windows-ffmpeg.sh ${WMAFILTER_FFMPEG_VERSION}
          ${ffmpeg_work_dir} ${CMAKE_C_COMPILER} ${WMAFILTER_MINGW_PREFIX}- ${ffmpeg_arch}
  RESULT_VARIABLE ffmpeg_result)
if(NOT ffmpeg_result EQUAL 0)
  message(FATAL_ERROR "FFmpeg ${WMAFILTER_FFMPEG_VERSION} could not be built for Windows")
endif()

# Static libraries, most dependent first, then the Windows libraries that they call.
add_library(windows_ffmpeg INTERFACE IMPORTED)
target_include_directories(windows_ffmpeg INTERFACE ${WINDOWS_FFMPEG_PREFIX}/include)
target_link_libraries(windows_ffmpeg INTERFACE
  ${WINDOWS_FFMPEG_PREFIX}/lib/libavformat.a
  ${WINDOWS_FFMPEG_PREFIX}/lib/libavcodec.a
  ${WINDOWS_FFMPEG_PREFIX}/lib/libswresample.a
  ${WINDOWS_FFMPEG_PREFIX}/lib/libavutil.a
  bcrypt ole32 user32 atomic)
