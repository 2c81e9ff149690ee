// OutputContext: the record behind every output handle. Allocated zero-filled by
// OpenFilterOutput, set up by OpenWriter, torn down by CloseWriter and freed by
// CloseFilterOutput. It owns one reference to the writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/input_context.h"
#include "media/runtime.h"

struct OutputContext {
  LPCSTR fileName;      // the host's text, not owned; read only while opening
  LONG writingStarted;  // 1 once BeginWriting has succeeded
  IWMWriter* writer;    // owned
  QWORD sampleTime;     // presentation time of the next sample, in 100 ns units
  LONG sampleRate;
  WORD bitsPerSample;  // at the writer's input: 24 when the host sends 32-bit floats
  WORD channels;
#if UINTPTR_MAX > 0xFFFFFFFFu
  // With 64-bit pointers the fields above end earlier than InputContext's; FilterOptions
  // reads the word of either kind of handle at one offset.
  DWORD alignOptionsWithInput[2];
#endif
  DWORD options;  // the EncoderOptions word the writer was configured with
};

static_assert(offsetof(OutputContext, options) == offsetof(InputContext, options),
              "FilterOptions reads both kinds of context at one offset");
