// The options dialog's codec and format lists, filled from the runtime's codec enumeration each
// time the dialog opens and whenever its mode or codec changes. Each filler initialises COM
// around its own work; when that fails, it leaves its list untouched.
#pragma once

#include <windows.h>

// Rebuilds the codec list for the mode (0 constant, 1 variable bit rate): one entry per audio
// codec with formats under that mode, its text the codec's name and its datum the codec index.
// Selects the requested codec, or the first position when that codec is not listed, then
// rebuilds the format list for the selected codec.
void FillCodecList(HWND window, BOOL variableBitRate, DWORD requestedCodec);

// Rebuilds the format list for the mode and codec: one entry per mono or stereo format not
// meant for audio with video, its text the format's description and its datum the format
// index. Selects the first position.
void FillFormatList(HWND window, BOOL variableBitRate, DWORD codecIndex);

// The item datum of a list's selection, or CB_ERR when nothing is selected.
LRESULT SelectedItemData(HWND window, int listId);
