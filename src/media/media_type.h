// Media types as the runtime hands them out: a WM_MEDIA_TYPE in a heap block of the size that
// the runtime asks for, its format block (a WAVEFORMATEX for audio) inside the same block.
#pragma once

#include "media/heap_memory.h"
#include "media/runtime.h"

// The two-call protocol: GetMediaType for the size, a heap block of that size, GetMediaType to
// fill it. Empty on any failure, a size of 0 included.
HeapBuffer<WM_MEDIA_TYPE> FetchMediaType(IWMMediaProps* props, DWORD& size);

// The WAVEFORMATEX of a fetched media type, or null when the block is too small to be a media
// type or carries no format block of a WAVEFORMATEX's size.
WAVEFORMATEX* FindWaveFormat(WM_MEDIA_TYPE* type, DWORD size);
