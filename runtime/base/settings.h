// The runtime's settings from the environment, read here and nowhere else, through one call
// in each world (GetEnvironmentVariableA on Windows, getenv elsewhere), and always on a caller's
// thread: worker threads never read the environment, which a caller may be changing meanwhile.
// - WMAFILTER_TRACE switches on the failure trace (failure_trace.h). It is read once in the
//   process, when the runtime makes its first object.
// - WMAFILTER_THREADS is how many threads code (worker_pool.cpp). It is read as each writer
//   begins writing and each reader decodes its first packet, so that a program may change it
//   between files.
// - WMAFILTER_LOSSLESS_CHECK makes the lossless encoder decode what it codes again and fail on
//   the first difference (lossless_encoder.cpp). It is read as each lossless stream is opened.
// - WMAFILTER_PRO_CHECK makes the Professional encoder decode each segment it codes again and
//   fail where the decoder's output leaves its own reconstruction (wmapro_encoder.cpp). It is
//   read as each Professional stream is opened.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace wmvcore::settings {

// The variable's length, 0 when it is unset or empty, with up to the first 15 characters of
// its value in `value`, terminated.
inline std::size_t ReadVariable(const char* name, char (&value)[16]) {
  value[0] = 0;
#ifdef _WIN32
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  // Too long for the buffer: the length it needs, with the terminator, and nothing copied.
  return length < sizeof(value) ? length : length - 1;
#else
  const char* found = std::getenv(name);
  if (found == nullptr) return 0;
  const std::size_t length = std::strlen(found);
  std::strncpy(value, found, sizeof(value) - 1);
  value[sizeof(value) - 1] = 0;
  return length;
#endif
}

// A switch: on when the variable holds anything but "0".
inline bool SwitchedOn(const char* name) {
  char value[16];
  const std::size_t length = ReadVariable(name, value);
  return length > 0 && !(length == 1 && value[0] == '0');
}

inline bool TraceAsked() { return SwitchedOn("WMAFILTER_TRACE"); }

inline bool LosslessCheckAsked() { return SwitchedOn("WMAFILTER_LOSSLESS_CHECK"); }

inline bool ProCheckAsked() { return SwitchedOn("WMAFILTER_PRO_CHECK"); }

// The trace's switch, read once in the process (the first call reads it).
inline bool TraceEnabled() {
  static const bool enabled = TraceAsked();
  return enabled;
}

// WMAFILTER_THREADS as a whole number from 1 up, or 0 when it holds none.
inline unsigned long ThreadsAsked() {
  char value[16];
  const std::size_t length = ReadVariable("WMAFILTER_THREADS", value);
  if (length == 0 || length >= sizeof(value)) return 0;
  char* end = nullptr;
  const unsigned long asked = std::strtoul(value, &end, 10);
  return end != value && *end == '\0' ? asked : 0;
}

}  // namespace wmvcore::settings
