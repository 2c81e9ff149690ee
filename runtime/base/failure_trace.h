// An opt-in trace of the runtime's failures: with WMAFILTER_TRACE set in the environment (to
// anything but "0"), each failure that passes through RETURN_IF_FAILED writes one line, such as
// "wmvcore: failed 0xC00D07E2 at sync_reader.cpp:LINE: ReadAsfFileHeader(*path, file)" for a
// file that is no ASF file, to stderr and, on Windows, to the debugger through
// OutputDebugString (Wine shows it with WINEDEBUG=+debugstr). The switch is read once in the
// process (settings.h); off, a failure costs one test of it. The filter itself reads no
// environment and logs nothing: what fails under it is a runtime call, traced here.
#pragma once

#include <cstdio>

#include <windows.h>

#include "base/settings.h"

namespace failure_trace {

// The end of a stream of samples (NS_E_NO_MORE_SAMPLES) is how reading ends, not a failure.
inline constexpr HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCFu);

// The file's name without its folders.
constexpr const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* at = path; *at != 0; ++at)
    if (*at == '/' || *at == '\\') name = at + 1;
  return name;
}

inline void Write(HRESULT result, const char* file, int line, const char* call) {
  if (result == kNoMoreSamples || !::wmvcore::settings::TraceEnabled()) return;
  char text[512];
  std::snprintf(text, sizeof(text), "wmvcore: failed 0x%08X at %s:%d: %s\n",
                static_cast<unsigned>(result), BaseName(file), line, call);
  std::fputs(text, stderr);
#ifdef _WIN32
  OutputDebugStringA(text);
#endif
}

}  // namespace failure_trace
