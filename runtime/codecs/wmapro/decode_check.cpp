#include "codecs/wmapro/decode_check.h"

#include <algorithm>
#include <cmath>

namespace wmvcore::wmapro {
namespace {

// The decoder's transform and ours round differently, by some units in the last place of
// samples at full scale 1; a bitstream slip is off by far more.
constexpr float kTolerance = 1e-5f;

}  // namespace

std::unique_ptr<DecodeCheck> DecodeCheck::Open(const StreamFormat& format) {
  const auto data = CodecData(format);
  PacketDecoder::Stream stream{AV_CODEC_ID_WMAPRO,
                               format.sampleRate,
                               format.channels,
                               format.channelMask,
                               PacketBytes(format),
                               format.bitRate,
                               std::vector<uint8_t>(data.begin(), data.end())};
  std::unique_ptr<DecodeCheck> check(new DecodeCheck(format));
  if (!check->OpenDecoder(stream)) return nullptr;
  check->expected_.resize(static_cast<std::size_t>(format.channels));
  return check;
}

void DecodeCheck::Expect(const float* const* channels, std::size_t samples) {
  for (std::size_t c = 0; c < expected_.size(); ++c) {
    auto& expected = expected_[c];
    if (expectedStart_ > 0)
      expected.erase(expected.begin(),
                     expected.begin() + static_cast<std::ptrdiff_t>(expectedStart_));
    expected.insert(expected.end(), channels[c], channels[c] + samples);
  }
  expectedStart_ = 0;
}

bool DecodeCheck::Compare(const AVFrame& frame) {
  const auto samples = static_cast<std::size_t>(frame.nb_samples);
  if (expected_[0].size() - expectedStart_ < samples) {
    failure_ = "the decoder gave more samples than were coded";
    return false;
  }
  for (std::size_t c = 0; c < expected_.size(); ++c) {
    const auto* got = reinterpret_cast<const float*>(frame.extended_data[c]);
    for (std::size_t i = 0; i < samples; ++i) {
      const float difference = std::fabs(got[i] - expected_[c][expectedStart_ + i]);
      largest_ = std::max(largest_, difference);
      if (!(difference <= kTolerance)) {
        failure_ = "sample " + std::to_string(compared_ + i) + " of channel " + std::to_string(c) +
                   " decodes as " + std::to_string(got[i]) + ", not " +
                   std::to_string(expected_[c][expectedStart_ + i]);
        return false;
      }
    }
  }
  expectedStart_ += samples;
  compared_ += samples;
  return true;
}

bool DecodeCheck::AllGivenBack() const { return expected_[0].size() == expectedStart_; }

}  // namespace wmvcore::wmapro
