#include "channel_plan.h"

#include <bit>
#include <cstring>
#include <iterator>

#include "common/speaker_positions.h"

namespace {

constexpr const char* kSpeakerNames[] = {
    "front left",      "front right",      "front centre",         "low frequency",
    "back left",       "back right",       "front left of centre", "front right of centre",
    "back centre",     "side left",        "side right",           "top centre",
    "top front left",  "top front centre", "top front right",      "top back left",
    "top back centre", "top back right"};

unsigned Count(std::uint32_t mask) { return static_cast<unsigned>(std::popcount(mask)); }

// The input channel that stands on `speaker` in a layout of `speakers`.
int ChannelOf(std::uint32_t speakers, std::uint32_t speaker) {
  return static_cast<int>(Count(speakers & (speaker - 1)));
}

}  // namespace

bool PlanChannels(const WaveFormat& format, ChannelPlan& plan, std::string& error) {
  const unsigned channels = format.channels;
  plan = ChannelPlan{};
  plan.filterChannels = format.channels;
  // One channel is mono, whatever speaker a mask gives it. A mask of 0 names no speakers, as a
  // plain file names none: both take the usual order, as players do.
  if (channels == 1 || format.channelMask == 0) {
    plan.speakers = UsualChannelMask(channels);
    if (plan.speakers == 0) {
      error = std::to_string(channels) +
              " channels without speaker positions: a file of more than " +
              std::to_string(kLargestUsualLayout) + " needs a channel mask that names them";
      return false;
    }
    return true;
  }
  plan.speakers = LowestPositions(format.channelMask, channels);
  if (Count(plan.speakers) < channels) {
    // A downmix would have to guess where such a channel plays; a guess is how one is lost.
    const unsigned first = Count(plan.speakers) + 1;
    error = (first == channels ? "channel " + std::to_string(channels) + " has"
                               : "channels " + std::to_string(first) + " to " +
                                     std::to_string(channels) + " have") +
            " no speaker position (the channel mask names " + std::to_string(Count(plan.speakers)) +
            " speakers)";
    return false;
  }
  if (plan.speakers == UsualChannelMask(channels)) return true;
  for (unsigned count = channels; count <= kLargestUsualLayout; ++count) {
    const std::uint32_t usual = UsualChannelMask(count);
    if ((usual & plan.speakers) != plan.speakers) continue;
    plan.filterChannels = static_cast<std::uint16_t>(count);
    for (std::uint32_t speaker = 1; speaker != 0 && speaker <= usual; speaker <<= 1) {
      if (!(usual & speaker)) continue;
      plan.sources.push_back((plan.speakers & speaker) ? ChannelOf(plan.speakers, speaker) : -1);
    }
    return true;
  }
  error = "its speakers (" + SpeakerNames(plan.speakers) +
          ") fit no layout the save can mix down (those within 7.1, or 5.1 with a back centre)";
  return false;
}

void ArrangeChannels(const std::uint8_t* input, std::size_t frames, std::size_t inputChannels,
                     const ChannelPlan& plan, std::size_t sampleBytes, std::uint8_t silence,
                     std::uint8_t* output) {
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const std::uint8_t* from = input + frame * inputChannels * sampleBytes;
    for (const int source : plan.sources) {
      if (source < 0) {
        std::memset(output, silence, sampleBytes);
      } else {
        std::memcpy(output, from + static_cast<std::size_t>(source) * sampleBytes, sampleBytes);
      }
      output += sampleBytes;
    }
  }
}

std::string SpeakerNames(std::uint32_t mask) {
  std::string names;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if (!(mask & (1u << bit))) continue;
    if (!names.empty()) names += ", ";
    names += bit < std::size(kSpeakerNames) ? std::string(kSpeakerNames[bit])
                                            : "position " + std::to_string(bit);
  }
  return names;
}
