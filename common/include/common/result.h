// Early return on a failed runtime call, for helpers that report an HRESULT themselves.
#pragma once

#include <windows.h>

#define RETURN_IF_FAILED(expression)                     \
  do {                                                   \
    const HRESULT returnIfFailed_ = (expression);        \
    if (FAILED(returnIfFailed_)) return returnIfFailed_; \
  } while (false)
