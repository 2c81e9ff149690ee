// The host's commands. Each returns the process exit code; errors are one line on stderr.
#pragma once

#include <string>

#include "filter_library.h"
#include "format_choice.h"

struct DecodeSettings {
  bool packed24 = false;  // write 32-bit float host audio as 24-bit PCM instead of float
};

int RunInfo(const FilterLibrary& library, const std::string& path, bool json);
int RunDecode(const FilterLibrary& library, const std::string& input, const std::string& output,
              const DecodeSettings& settings);
struct EncodeSettings {
  DWORD options = 0;      // the EncoderOptions word; 0 asks the filter for its default
  WORD width = 0;         // the sample width declared to the filter; 0: the host's own choice
  FormatRequest request;  // a codec, bit rate or quality chosen instead of a word
};

int RunEncode(const FilterLibrary& library, const std::string& input, const std::string& output,
              const EncodeSettings& settings);
int RunOptions(const FilterLibrary& library, DWORD options);
// Lists the formats of the media runtime that the loaded filter library loaded.
int RunFormats(bool json);

// Reports an error the host's way: one line on stderr. Returns the exit code 1.
int ReportError(const std::string& message);
