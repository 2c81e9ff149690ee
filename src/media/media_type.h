// Media types as the runtime hands them out: a WM_MEDIA_TYPE in a heap block of the size that
// the runtime asks for, its format block (a WAVEFORMATEX for audio) inside the same block.
#pragma once

#include <cstddef>

#include "media/heap_memory.h"
#include "media/runtime.h"

// The members of an audio format up to and including wBitsPerSample: a PCMWAVEFORMAT, the
// shortest block that names the channels, rate and width. Readers need no more; only a writer
// of cbSize needs a whole WAVEFORMATEX.
inline constexpr DWORD kWaveFormatCoreBytes = offsetof(WAVEFORMATEX, cbSize);

// The two-call protocol: GetMediaType for the size, a heap block of that size, GetMediaType to
// fill it. Empty on any failure, a size of 0 included.
HeapBuffer<WM_MEDIA_TYPE> FetchMediaType(IWMMediaProps* props, DWORD& size);

// The format block of a fetched media type as a WAVEFORMATEX, or null when the block is too
// small to be a media type or its format block holds fewer than formatBytes bytes. Only the
// first formatBytes bytes of the result may be read or written.
WAVEFORMATEX* FindWaveFormat(WM_MEDIA_TYPE* type, DWORD size,
                             DWORD formatBytes = kWaveFormatCoreBytes);
