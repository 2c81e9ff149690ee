// The probe, the open and the close of an input file.
#include "decode/reader_session.h"
#include "filter/filter_api.h"
#include "media/heap_memory.h"

LONG WINAPI FilterUnderstandsFormat(LPCSTR fileName) {
  InputContext probe = {};
  probe.fileName = fileName;
  const BOOL opened = OpenReader(probe);
  if (opened) CloseReader(probe);
  return opened;
}

FilterHandle WINAPI OpenFilterInput(LPCSTR fileName, LONG* sampleRate, WORD* bitsPerSample,
                                    WORD* channels, LONG /*unused*/, LONG* chunkSize) {
  auto* context = static_cast<InputContext*>(HeapAllocateZeroed(sizeof(InputContext)));
  if (context == nullptr) return nullptr;
  context->fileName = fileName;
  if (!OpenReader(*context)) {
    HeapRelease(context);
    return nullptr;
  }
  *sampleRate = context->sampleRate;
  *bitsPerSample = context->bitsPerSample;
  *channels = context->channels;
  *chunkSize = kFilterChunkSize;
  return reinterpret_cast<FilterHandle>(context);
}

void WINAPI CloseFilterInput(FilterHandle handle) {
  InputContext* context = AsInputContext(handle);
  if (context == nullptr) return;
  CloseReader(*context);
  HeapRelease(context);
}
