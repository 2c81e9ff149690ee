// An opt-in trace of the runtime's failures: with WMAFILTER_TRACE set in the environment (to
// anything but "0"), each failure that passes through RETURN_IF_FAILED writes one line,
// "wmvcore: failed 0xC00D07E2 at sync_reader.cpp:45: ReadAsfFileHeader(*path, file)", to
// stderr and, on Windows, to the debugger through OutputDebugString (Wine shows it with
// WINEDEBUG=+debugstr). Off, it costs nothing where calls succeed: the switch is read only
// once a call has failed, and no state is kept. The filter itself reads no environment and
// logs nothing: what fails under it is a runtime call, traced here.
#pragma once

#include <cstdio>
#include <cstdlib>

#include <windows.h>

namespace failure_trace {

// The end of a stream of samples (NS_E_NO_MORE_SAMPLES) is how reading ends, not a failure.
inline constexpr HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCFu);

inline bool Enabled() {
#ifdef _WIN32
  char value[2] = {};
  const DWORD length = GetEnvironmentVariableA("WMAFILTER_TRACE", value, sizeof(value));
  return length > 0 && !(length == 1 && value[0] == '0');
#else
  const char* value = std::getenv("WMAFILTER_TRACE");
  return value != nullptr && *value != 0 && !(value[0] == '0' && value[1] == 0);
#endif
}

// The file's name without its folders.
constexpr const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* at = path; *at != 0; ++at)
    if (*at == '/' || *at == '\\') name = at + 1;
  return name;
}

inline void Write(HRESULT result, const char* file, int line, const char* call) {
  if (result == kNoMoreSamples || !Enabled()) return;
  char text[512];
  std::snprintf(text, sizeof(text), "wmvcore: failed 0x%08X at %s:%d: %s\n",
                static_cast<unsigned>(result), BaseName(file), line, call);
  std::fputs(text, stderr);
#ifdef _WIN32
  OutputDebugStringA(text);
#endif
}

}  // namespace failure_trace
