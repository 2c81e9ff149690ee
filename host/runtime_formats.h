// The codecs and formats of the media runtime that the filter loaded, enumerated as the
// filter's options dialog enumerates them, so that a person or a script can learn the options
// word of every format the dialog offers without running it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/com_apartment.h"
#include "common/com_ptr.h"
#include "loaded_runtime.h"

// One format of a codec under one bit-rate mode.
struct RuntimeFormat {
  DWORD word = 0;  // the options word that chooses it, as the dialog's OK gives it
  bool variableBitRate = false;
  DWORD codecIndex = 0;
  std::string codecName;       // UTF-8
  std::string codecShortName;  // what `encode --codec` takes (codec_short_name.h); may be empty
  DWORD formatIndex = 0;
  std::string description;  // UTF-8, as the runtime words it (leading spaces kept)
  WORD formatTag = 0;       // the WAVEFORMATEX's, which names the codec in the file
  DWORD sampleRate = 0;
  WORD channels = 0;
  WORD bitsPerSample = 0;
  DWORD averageBytesPerSecond = 0;  // 0 where the runtime reports no average
  int quality = 0;                  // 1 to 100 for a quality-based format, else 0
  bool offeredByDialog = false;     // mono or stereo, and not meant for audio with video
  bool mayBeDefault = false;        // qualifies as the default (common/options_word.h)
};

// The codec information of the loaded runtime, with COM initialised on the calling thread for
// as long as it lives.
class RuntimeCodecs {
 public:
  // Reaches the runtime's codec information; false with the reason when it cannot.
  bool Open(std::string& error);

  // Every format that the options dialog offers: the codecs in enumeration order, each with its
  // constant-rate formats and then its variable-rate ones, each list in enumeration order. A
  // codec or format that the dialog leaves out (no name, no formats, no media type, more than
  // two channels, "(A/V)") is left out here too. The first codec listed of each short name has
  // it, so that a short name chooses one codec.
  std::vector<RuntimeFormat> OfferedFormats() const;

  // The codec and format that a word names, read as the filter reads it (bits 24-30 ignored),
  // offered by the dialog or not, without a short name; nothing when the runtime has no such
  // format.
  std::optional<RuntimeFormat> FormatOf(DWORD word) const;

 private:
  std::optional<RuntimeFormat> ReadFormat(bool variableBitRate, DWORD codecIndex,
                                          const std::string& codecName, DWORD formatIndex) const;
  std::optional<std::string> CodecName(DWORD codecIndex) const;
  // Selects the mode for the codec; the number of its formats, 0 on failure.
  DWORD FormatCount(bool variableBitRate, DWORD codecIndex) const;

  ScopedComApartment apartment_;  // declared first, so that COM goes after the interfaces
  ComPtr<IWMProfileManager> profileManager_;
  ComPtr<IWMCodecInfo3> codecInfo_;
};

// The word that 0 stands for: the first format of the list that may be the default and whose
// built word is not 0 (a choice of codec 0, format 0 is never found as the default); 0 when none.
DWORD DefaultWordOf(const std::vector<RuntimeFormat>& formats);

// "constant" or "variable"
const char* RateModeName(bool variableBitRate);
