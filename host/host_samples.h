// Conversions between WAVE sample formats and the host sample format that the filter speaks:
// 8- and 16-bit integers as they are, everything wider as 32-bit floats on the 16-bit scale
// (full scale +-32768.0).
#pragma once

#include <cstddef>
#include <cstdint>

#include "wave_format.h"

// The host width in which audio of this WAVE format is exchanged: 8, 16 or 32.
std::uint16_t HostWidthFor(const WaveFormat& format);

// Converts count samples of a WAVE format wider than 16 bits into host floats.
void WaveToHostFloats(const std::uint8_t* wave, const WaveFormat& format, std::size_t count,
                      float* host);

// Host floats to WAVE floats (full scale +-1.0), in place.
void HostFloatsToWaveFloats(float* samples, std::size_t count);

// Host floats to packed 24-bit little-endian PCM, rounded and limited to the 24-bit range.
void HostFloatsToPcm24(const float* samples, std::size_t count, std::uint8_t* packed);
