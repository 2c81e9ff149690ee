// InputContext: the record behind every input handle. Allocated zero-filled by
// OpenFilterInput (the probe keeps one in local storage), opened by OpenReader, closed by
// CloseReader and freed by CloseFilterInput. It owns one reference to the reader and, while
// a sample buffer is being consumed, one to that buffer.
#pragma once

#include <cstddef>

#include "media/runtime.h"

struct InputContext {
  IWMSyncReader* reader;  // owned
  INSSBuffer* sample;     // owned; null when no buffer is held
  BYTE* sampleData;       // the bytes of sample, borrowed while it is held
  LPCSTR fileName;        // the host's text, not owned; read only while opening
  LONG sampleRate;
  WORD bitsPerSample;  // as reported to the host: 24-bit sources as 32
  WORD channels;
  DWORD readPos;       // next unread byte of sampleData
  DWORD sampleLength;  // bytes in sampleData; 0 when none
  DWORD options;       // never set for input; kept where OutputContext keeps its word
};
