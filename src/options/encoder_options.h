// EncoderOptions: the 32-bit word that names the encoder's bit-rate mode, codec and format
// (its layout in common/options_word.h). 0 asks for the default, which
// FindDefaultEncoderOptions looks up at run time.
#pragma once

#include <windows.h>

#include "common/options_word.h"

// The largest indices the word holds; a larger one would name another codec or format.
inline constexpr DWORD kMaxCodecIndex = 0xFF;
inline constexpr DWORD kMaxFormatIndex = 0xFFFF;

// The first constant-bit-rate, 44.1 kHz, 16-bit, mono or stereo format whose description says
// "128 kbps" (and not "(A/V)"), searched codec by codec and format by format; 0 when none
// qualifies or the runtime cannot be reached. A match at codec 0, format 0 builds the word 0
// and so does not end the search. Initialises and uninitialises COM around its own work.
DWORD FindDefaultEncoderOptions();

// The word itself, or the default when the word is 0.
inline DWORD ResolveEncoderOptions(DWORD options) {
  return options == 0 ? FindDefaultEncoderOptions() : options;
}
