// The open and the close of an output file.
#include <cstdint>

#include "encode/writer_session.h"
#include "media/heap_memory.h"

namespace {

// The host's sample types: 8- and 16-bit integers and 32-bit floats, at a rate and channel
// count above 0, whose bytes per second at the writer's input fit in 32 bits. Anything else
// would leave the sample timing dividing by zero (or by a wrapped product) or the host's
// buffers misread, so the open refuses it before touching COM.
bool IsHostSampleType(LONG sampleRate, WORD bitsPerSample, WORD channels) {
  const bool knownWidth = bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 32;
  if (!knownWidth || sampleRate <= 0 || channels == 0) return false;
  const std::uint64_t writerBytesPerSample = bitsPerSample == 32 ? 3 : bitsPerSample / 8;
  const std::uint64_t bytesPerSecond =
      static_cast<std::uint64_t>(sampleRate) * channels * writerBytesPerSample;
  return bytesPerSecond <= 0xFFFFFFFFu;
}

}  // namespace

FilterHandle WINAPI OpenFilterOutput(LPCSTR fileName, LONG sampleRate, WORD bitsPerSample,
                                     WORD channels, LONG /*unused*/, LONG* chunkSize,
                                     DWORD options) {
  // No name is refused before any work, as a sample type the filter cannot take is.
  if (fileName == nullptr || !IsHostSampleType(sampleRate, bitsPerSample, channels)) {
    return nullptr;
  }
  auto* context = static_cast<OutputContext*>(HeapAllocateZeroed(sizeof(OutputContext)));
  if (context == nullptr) return nullptr;
  context->fileName = fileName;
  context->sampleRate = sampleRate;
  // The writer takes the host's floats as packed 24-bit integers.
  context->bitsPerSample = bitsPerSample == 32 ? 24 : bitsPerSample;
  context->channels = channels;
  context->options = options;
  if (!OpenWriter(*context)) {
    HeapRelease(context);
    return nullptr;
  }
  *chunkSize = kFilterChunkSize;
  return reinterpret_cast<FilterHandle>(context);
}

void WINAPI CloseFilterOutput(FilterHandle handle) {
  OutputContext* context = AsOutputContext(handle);
  if (context == nullptr) return;
  CloseWriter(*context);
  HeapRelease(context);
}
