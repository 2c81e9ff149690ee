# FFmpeg for the Windows runtime: the version of the native build's FFmpeg, cross-built from
# Debian's source package into the build tree at configure time (see build-windows-ffmpeg.sh),
# and offered as the target windows_ffmpeg. A build tree that has it does not build it again.
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

set(ffmpeg_work_dir ${CMAKE_BINARY_DIR}/ffmpeg)
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
