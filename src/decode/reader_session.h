// Opening and closing an input file's reader: the shared core of the probe and the open.
#pragma once

#include "decode/input_context.h"
#include "filter/filter_api.h"

// Takes a zero-filled context whose fileName is set. Returns 1 with the context open: COM
// initialised on this thread, the reader created, the file open and output 0 set to the first
// format the reader offers. Returns 0 with everything acquired given back in reverse order.
BOOL OpenReader(InputContext& context);

// Gives back what a successful OpenReader acquired, the held sample buffer first. The record
// itself is left to the caller.
void CloseReader(InputContext& context);

// The context behind an input handle.
inline InputContext* AsInputContext(FilterHandle handle) {
  return reinterpret_cast<InputContext*>(handle);
}
