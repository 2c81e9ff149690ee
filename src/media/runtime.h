// The Windows Media Format runtime as the filter sees it, with the few values that
// mingw-w64's headers do not name.
#pragma once

#include <windows.h>
#include <wmsdk.h>

// The reader is created for playback (WMT_RIGHT_PLAYBACK).
inline constexpr DWORD kPlaybackRights = 0x1;
