#include "options/options_catalogue.h"

using runtime_double::PcmWaveFormatBlock;
using runtime_double::WmaFormat;
using runtime_double::WmaMediaFormat;

std::vector<runtime_double::Codec> OptionsCatalogue() {
  return {
      {u"Windows Media Audio 9.2",
       {WmaFormat(u"192 kbps, 48 kHz, stereo CBR", 48000, 2, 16),
        WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16),
        WmaFormat(u"64 kbps, 44 kHz, mono CBR", 44100, 1, 16),
        WmaFormat(u"128 kbps, 44 kHz, 5.1 channel CBR", 44100, 6, 16),
        WmaFormat(u"96 kbps, 44 kHz, stereo CBR (A/V)", 44100, 2, 16)},
       {WmaFormat(u"Quality 90, 44 kHz, stereo VBR", 44100, 2, 16),
        WmaFormat(u"Quality 50, 44 kHz, stereo VBR", 44100, 2, 16)}},
      // A format block of a PCMWAVEFORMAT's 16 bytes is listed like any other.
      {u"Alpha Voice",
       {{PcmWaveFormatBlock(WmaMediaFormat(16000, 1, 16, 2000)), u"16 kbps, 16 kHz, mono CBR"}},
       {}},
      {u"Multichannel Pro",
       {WmaFormat(u"384 kbps, 48 kHz, 5.1 channel CBR", 48000, 6, 24),
        WmaFormat(u"128 kbps, 44 kHz, stereo CBR (A/V)", 44100, 2, 16)},
       {WmaFormat(u"Quality 98, 48 kHz, 7.1 channel VBR", 48000, 8, 24)}},
      {u"Beta Lossless",
       {},
       {WmaFormat(u"Lossless, 44 kHz, stereo", 44100, 2, 16),
        WmaFormat(u"Lossless, 96 kHz, stereo, 24 bit", 96000, 2, 24)}},
  };
}
