// Early return on a failed runtime call, for helpers that report an HRESULT themselves. The
// failure is written to the opt-in trace (failure_trace.h).
#pragma once

#include <windows.h>

#include "base/failure_trace.h"

#define RETURN_IF_FAILED(expression)                                            \
  do {                                                                          \
    const HRESULT returnIfFailed_ = (expression);                               \
    if (FAILED(returnIfFailed_)) {                                              \
      ::failure_trace::Write(returnIfFailed_, __FILE__, __LINE__, #expression); \
      return returnIfFailed_;                                                   \
    }                                                                           \
  } while (false)
