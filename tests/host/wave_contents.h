// What a WAVE file written by the host holds, read back with the host's own reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wave_format.h"

// The interleaved 16-bit samples of a WAVE file, or empty when it cannot be read.
std::vector<std::int16_t> ReadPcm16(const std::string& path);

// The tags of a WAVE file as the host reads them.
std::vector<WaveTag> ReadWaveTags(const std::string& path);
