// RIFF WAVE files as the host reads and writes them: the audio's sample format and the tag
// chunks the editor keeps with it ("INFO" list items and the "WAVE"-level "DISP" chunk).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SampleEncoding { kPcm, kFloat };

// The format codes and the unknown-size mark of the chunks both ways.
inline constexpr std::uint16_t kWaveFormatPcm = 0x0001;
inline constexpr std::uint16_t kWaveFormatFloat = 0x0003;
inline constexpr std::uint32_t kWaveUnknownSize = 0xFFFFFFFFu;

struct WaveFormat {
  SampleEncoding encoding = SampleEncoding::kPcm;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bitsPerSample = 0;
  // The speakers of the channels as a WAVE_FORMAT_EXTENSIBLE file names them; 0 in a plain
  // file, whose channels stand in the usual order for their count.
  std::uint32_t channelMask = 0;

  std::uint32_t frameBytes() const { return channels * (bitsPerSample / 8u); }
};

// One tag in the layout the filter exchanges as special data: for an "INFO" item the text and
// its NUL; for "DISP" under "WAVE" a 32-bit format code (1 for text) ahead of the text and NUL.
struct WaveTag {
  std::string listType;
  std::string chunkId;
  std::vector<std::uint8_t> data;
};

// The text of a tag, without the display chunk's format code and the trailing NULs.
std::string TagText(const WaveTag& tag);
