// A format chosen the way encoder users choose one: a codec, and a constant bit rate or a
// quality, for the input's sample rate and channels; found in the runtime's list as `formats`
// reads it, and handed on as the word that names it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "runtime_formats.h"

struct FormatRequest {
  std::optional<std::string> codec;  // a short name or a codec's name, in any case; none: the
                                     // codec of the default format
  std::optional<DWORD> kbps;         // a constant-rate format of this bit rate
  std::optional<DWORD> quality;      // a quality-based variable-rate format of this quality

  bool given() const { return codec || kbps || quality; }
};

// What the format is for: the input's audio.
struct InputShape {
  DWORD sampleRate = 0;
  WORD channels = 0;
  WORD bitsPerSample = 0;
};

struct ChosenFormat {
  DWORD word = 0;
  std::string notice;  // what was taken instead of the input's sample rate and channels; empty
                       // when they are the input's
};

// Of the formats of the codec, mode and rate asked for (the codec's first ones when neither a
// rate nor a quality is), the one whose sample rate and channels are the input's, else the
// nearest by sample rate, then channels, then sample width. False with the one-line reason
// when the request names nothing in the list, the nearest rates or qualities it has included.
bool ChooseFormat(const std::vector<RuntimeFormat>& offered, const FormatRequest& request,
                  const InputShape& input, ChosenFormat& chosen, std::string& error);
