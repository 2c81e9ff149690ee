// Converts decoded frames to interleaved PCM of 8, 16 or 24 bits at any rate and channel count
// with libswresample. It keeps one converter for the shape of the frames (sample format, rate,
// channel layout) and the output format, and makes a new one when either changes; a converter
// that changes the rate carries samples from one frame to the next.
#pragma once

#include <cstddef>

#include <windows.h>

#include "ffmpeg_handles.h"
#include "pcm_format.h"

namespace wmvcore {

class PcmConverter {
 public:
  PcmConverter() = default;
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Whether frames shaped like `frame` become `output` with nothing carried between frames.
  static bool Stateless(const AVFrame& frame, const PcmFormat& output) {
    return frame.sample_rate == static_cast<int>(output.rate);
  }
  // Bytes a sample frame of `output` takes while converted, before 24-bit samples are packed.
  static std::size_t ConvertedFrameBytes(const PcmFormat& output) {
    return static_cast<std::size_t>(output.bits == 24 ? 4 : output.bits / 8) * output.channels;
  }

  // Makes ready for frames shaped like `frame` and for `output`, keeping the converter when
  // neither changed; false when libswresample cannot convert them.
  bool Configure(const AVFrame& frame, const PcmFormat& output);
  bool configured() const { return converter_ != nullptr; }
  // Samples that `samples` more input samples may give (0 input: what the converter holds).
  int Capacity(int samples) const;
  // Converts `frame` (null: what the converter still holds) into `out`, which has room for
  // `capacity` samples of ConvertedFrameBytes; the samples made, packed, or 0 or less for none.
  int Convert(const AVFrame* frame, BYTE* out, int capacity);

 private:
  ResamplerHandle converter_;
  AVSampleFormat inputFormat_ = AV_SAMPLE_FMT_NONE;
  int inputRate_ = 0;
  AVChannelLayout inputLayout_{};
  PcmFormat output_;
};

}  // namespace wmvcore
