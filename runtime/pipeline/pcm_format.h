// Interleaved integer PCM as the reader delivers it and the writer takes it.
#pragma once

#include <cstddef>

#include <windows.h>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace wmvcore {

struct PcmFormat {
  DWORD rate = 0;
  WORD channels = 0;
  WORD bits = 0;  // 8, 16 or 24
  // The speakers of the channels, as a WAVEFORMATEXTENSIBLE names them; 0 for a plain format,
  // whose channels stand on the usual positions for their count.
  DWORD channelMask = 0;
  // Bytes of one sample frame: a sample of each channel, packed.
  std::size_t FrameBytes() const { return static_cast<std::size_t>(channels) * (bits / 8); }
  bool operator==(const PcmFormat&) const = default;
};

// What the reader delivers and the writer takes: 8, 16 or 24 bits, one to eight channels, a
// rate from 1 to 384 kHz.
inline bool IsSupportedPcm(const PcmFormat& format) {
  const bool bitsOk = format.bits == 8 || format.bits == 16 || format.bits == 24;
  return bitsOk && format.channels >= 1 && format.channels <= 8 && format.rate >= 1000 &&
         format.rate <= 384000;
}

// The converter's sample format for PCM of `bits`: 24-bit samples travel as the top three
// bytes of 32 bits, since libswresample has no packed 24-bit format.
inline AVSampleFormat ConverterSampleFormat(WORD bits) {
  switch (bits) {
    case 8:
      return AV_SAMPLE_FMT_U8;
    case 16:
      return AV_SAMPLE_FMT_S16;
    default:
      return AV_SAMPLE_FMT_S32;
  }
}

}  // namespace wmvcore
