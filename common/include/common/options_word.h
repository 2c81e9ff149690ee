// The EncoderOptions word's layout, which the filter reads and builds and the host prints:
//   bit 31      variable bit rate
//   bits 24-30  unused: written as 0, ignored when read
//   bits 16-23  codec index in the runtime's enumeration of audio codecs
//   bits 0-15   format index in that codec's enumeration under the word's mode
// The word holds enumeration positions, not identifiers. 0 asks for the default.
#pragma once

#include <windows.h>

#include "common/wide_text.h"

struct EncoderChoice {
  BOOL variableBitRate;
  DWORD codecIndex;
  DWORD formatIndex;
};

inline constexpr DWORD kVariableBitRateFlag = 0x80000000u;

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

// The word that names a choice wherever it is handed on (the dialog's OK, the host's list of
// formats): the built word, marked where it would be 0.
constexpr DWORD ChoiceEncoderOptions(DWORD codecIndex, DWORD formatIndex, BOOL variableBitRate) {
  const DWORD options = BuildEncoderOptions(codecIndex, formatIndex, variableBitRate);
  return options == 0 ? kExplicitChoiceMark : options;
}

// Whether a constant-rate format may be the default: mono or stereo, 16-bit, 44.1 kHz, its
// description saying "128 kbps" and not "(A/V)". The default is the first that qualifies in
// codec and then format order whose built word is not 0.
constexpr bool QualifiesAsDefaultFormat(WORD channels, WORD bitsPerSample, DWORD sampleRate,
                                        const WCHAR* description) {
  return channels <= 2 && bitsPerSample == 16 && sampleRate == 44100 &&
         WideContains(description, WSTR("128 kbps")) && !WideContains(description, WSTR("(A/V)"));
}
