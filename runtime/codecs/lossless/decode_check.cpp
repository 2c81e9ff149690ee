#include "codecs/lossless/decode_check.h"

namespace wmvcore::lossless {

std::unique_ptr<DecodeCheck> DecodeCheck::Open(const StreamFormat& format) {
  const auto data = CodecData(format);
  PacketDecoder::Stream stream{AV_CODEC_ID_WMALOSSLESS,
                               format.sampleRate,
                               format.channels,
                               format.channelMask,
                               PacketBytes(format),
                               0,
                               std::vector<uint8_t>(data.begin(), data.end())};
  std::unique_ptr<DecodeCheck> check(new DecodeCheck(format));
  if (!check->OpenDecoder(stream)) return nullptr;
  return check;
}

void DecodeCheck::Expect(const int32_t* interleaved, std::size_t frames) {
  if (expectedStart_ > 0 && expectedStart_ * 2 > expected_.size()) {
    expected_.erase(expected_.begin(),
                    expected_.begin() + static_cast<std::ptrdiff_t>(expectedStart_));
    expectedStart_ = 0;
  }
  expected_.insert(expected_.end(), interleaved,
                   interleaved + frames * static_cast<std::size_t>(format_.channels));
}

bool DecodeCheck::Compare(const AVFrame& frame) {
  const auto channels = static_cast<std::size_t>(format_.channels);
  const auto samples = static_cast<std::size_t>(frame.nb_samples);
  if ((expected_.size() - expectedStart_) / channels < samples) {
    failure_ = "the decoder gave more samples than went in";
    return false;
  }
  for (std::size_t c = 0; c < channels; ++c) {
    for (std::size_t i = 0; i < samples; ++i) {
      const int32_t want = expected_[expectedStart_ + i * channels + c];
      const int32_t got = format_.bitsPerSample == 16
                              ? reinterpret_cast<const int16_t*>(frame.extended_data[c])[i]
                              : reinterpret_cast<const int32_t*>(frame.extended_data[c])[i] >> 8;
      if (got != want) {
        failure_ = "sample " + std::to_string(compared_ + i) + " of channel " + std::to_string(c) +
                   " decodes as " + std::to_string(got) + ", not " + std::to_string(want);
        return false;
      }
    }
  }
  expectedStart_ += samples * channels;
  compared_ += samples;
  return true;
}

bool DecodeCheck::AllGivenBack() const { return expected_.size() == expectedStart_; }

}  // namespace wmvcore::lossless
