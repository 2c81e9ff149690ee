// How the channels of a WAVE file reach the filter. The filter declares to the runtime only a
// channel count, which stands for the usual speakers of that count, and the runtime mixes a
// format with fewer channels down from those speakers. So a file whose channel mask names
// other speakers is handed over rearranged into the smallest usual layout that holds them all
// (the speakers it lacks silent), and one whose channels cannot all be placed is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wave_format.h"

struct ChannelPlan {
  std::uint32_t speakers = 0;        // the input's speakers, in its channel order
  std::uint16_t filterChannels = 0;  // the channels handed to the filter
  // For each channel handed to the filter, the input channel it carries, or -1 for silence;
  // empty when the input's channels are handed over as they are.
  std::vector<int> sources;
};

// Plans the input's channels; false with the reason in error (naming no file) when a channel
// has no speaker, or a speaker no layout of the filter's holds.
bool PlanChannels(const WaveFormat& format, ChannelPlan& plan, std::string& error);

// Writes `frames` frames of the planned channels from the input's, each sample `sampleBytes`
// wide; a silent sample is `sampleBytes` bytes of `silence` (0x80 for 8-bit PCM, else 0).
void ArrangeChannels(const std::uint8_t* input, std::size_t frames, std::size_t inputChannels,
                     const ChannelPlan& plan, std::size_t sampleBytes, std::uint8_t silence,
                     std::uint8_t* output);

// "front left, front right, front centre": the speakers of a mask, lowest first.
std::string SpeakerNames(std::uint32_t mask);
