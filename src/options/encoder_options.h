// EncoderOptions: the 32-bit word that names the encoder's bit-rate mode, codec and format.
//   bit 31      variable bit rate
//   bits 24-30  unused: written as 0, ignored when read
//   bits 16-23  codec index in the runtime's enumeration of audio codecs
//   bits 0-15   format index in that codec's enumeration under the word's mode
// The word holds enumeration positions, not identifiers. 0 asks for the default, which
// FindDefaultEncoderOptions looks up at run time.
#pragma once

#include <windows.h>

struct EncoderChoice {
  BOOL variableBitRate;
  DWORD codecIndex;
  DWORD formatIndex;
};

inline constexpr DWORD kVariableBitRateFlag = 0x80000000u;
// The largest indices the word holds; a larger one would name another codec or format.
inline constexpr DWORD kMaxCodecIndex = 0xFF;
inline constexpr DWORD kMaxFormatIndex = 0xFFFF;

// A reserved bit that the options dialog sets in the one word that would otherwise be 0: the
// choice of constant bit rate, codec 0, format 0. Readers ignore bits 24-30, so the marked word
// reads as that choice, and not being 0 it is not taken for the request for the default.
inline constexpr DWORD kExplicitChoiceMark = 0x01000000u;

constexpr EncoderChoice ReadEncoderOptions(DWORD options) {
  return {(options & kVariableBitRateFlag) ? TRUE : FALSE, (options >> 16) & 0xFF,
          options & 0xFFFF};
}

constexpr DWORD BuildEncoderOptions(DWORD codecIndex, DWORD formatIndex, BOOL variableBitRate) {
  const DWORD options = (codecIndex << 16) + formatIndex;
  return variableBitRate ? options | kVariableBitRateFlag : options;
}

// The first constant-bit-rate, 44.1 kHz, 16-bit, mono or stereo format whose description says
// "128 kbps" (and not "(A/V)"), searched codec by codec and format by format; 0 when none
// qualifies or the runtime cannot be reached. A match at codec 0, format 0 builds the word 0
// and so does not end the search. Initialises and uninitialises COM around its own work.
DWORD FindDefaultEncoderOptions();

// The word itself, or the default when the word is 0.
inline DWORD ResolveEncoderOptions(DWORD options) {
  return options == 0 ? FindDefaultEncoderOptions() : options;
}
