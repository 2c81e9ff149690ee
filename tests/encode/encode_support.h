// Shared pieces of the encoding tests: a small codec catalogue, an open with the usual
// arguments, and the name under which a logged call can be planned to fail.
#pragma once

#include <string>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "support/leak_checked_test.h"

namespace encode_testing {

using runtime_double::CodecFormat;
using runtime_double::RuntimeDouble;
using runtime_double::WmaFormat;

inline constexpr LONG kUntouchedChunk = static_cast<LONG>(0xdeadbeef);

// Formats that the default search takes and passes over.
inline CodecFormat Qualifying() { return WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16); }
inline CodecFormat NotQualifying() {
  return WmaFormat(u"64 kbps, 44 kHz, stereo CBR", 44100, 2, 16);
}

// Codec 0 with two constant and one variable bit-rate format; codec 1 with four constant ones,
// the last qualifying as the default (word 0x00010003).
inline void ScriptCatalogue(RuntimeDouble& runtime) {
  runtime.codecs = {
      {u"Alpha",
       {NotQualifying(), WmaFormat(u"96 kbps, 48 kHz, stereo CBR", 48000, 2, 16)},
       {WmaFormat(u"VBR Quality 90, 44 kHz, stereo VBR", 44100, 2, 16)}},
      {u"Beta", {NotQualifying(), NotQualifying(), NotQualifying(), Qualifying()}},
  };
}

// OpenFilterOutput of "out.wma" with the chunk-size target preset to kUntouchedChunk.
struct OutputOpen {
  DWORD options = 0x00000001;
  LONG rate = 44100;
  WORD bits = 16;
  WORD channels = 2;
  const char* fileName = "out.wma";
  LONG chunk = kUntouchedChunk;

  FilterHandle Run() {
    chunk = kUntouchedChunk;
    return OpenFilterOutput(fileName, rate, bits, channels, 0, &chunk, options);
  }
};

// "Writer.SetProfile(...)" is planned as "Writer.SetProfile"; a query keeps its interface.
inline std::string CallName(const std::string& logged) {
  if (logged.find(".QueryInterface(") != std::string::npos) return logged;
  return logged.substr(0, logged.find('('));
}

}  // namespace encode_testing
