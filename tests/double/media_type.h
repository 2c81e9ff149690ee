// Media types between the double's MediaFormat and the caller's WM_MEDIA_TYPE blocks.
#pragma once

#include <windows.h>
#include <wmsdk.h>

#include "double/scripts.h"

namespace runtime_double {

// The size of the block GetMediaType fills: the WM_MEDIA_TYPE and its format block after it.
DWORD MediaTypeSize(const MediaFormat& format);

// GetMediaType's protocol: with no block, the size; with a block too small,
// ASF_E_BUFFERTOOSMALL and the size; otherwise the media type, whose pbFormat points into the
// same block, just after the struct.
HRESULT WriteMediaType(const MediaFormat& format, WM_MEDIA_TYPE* type, DWORD* size);

// Copies the caller's media type and its cbFormat bytes of format block.
HRESULT ReadMediaType(const WM_MEDIA_TYPE* type, MediaFormat& format);

}  // namespace runtime_double
