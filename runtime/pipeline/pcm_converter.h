// Converts decoded frames to interleaved PCM of 8, 16 or 24 bits at any rate and channel count
// with libswresample, straight into the sample buffer that is handed out. It keeps one
// converter for the shape of the frames (sample format, rate, channel layout) and the output
// format, and makes a new one when either changes; a converter that changes the rate carries
// samples from one frame to the next.
#pragma once

#include <cstddef>
#include <memory>

#include <windows.h>

#include "common/com_ptr.h"
#include "ffmpeg/ffmpeg_handles.h"
#include "pipeline/pcm_format.h"

namespace wmvcore {

class RecycledBlocks;
class SampleBuffer;

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

  // Makes ready for frames shaped like `frame` and for `output`, keeping the converter when
  // neither changed; false when libswresample cannot convert them.
  bool Configure(const AVFrame& frame, const PcmFormat& output);
  bool configured() const { return converter_ != nullptr; }
  // Converts `frame` (null: what the converter still holds) into a new sample buffer whose
  // length is the samples made: S_OK, S_FALSE when that makes none, E_OUTOFMEMORY. The
  // buffer's bytes come from `blocks` when given.
  HRESULT Convert(const AVFrame* frame, ComPtr<SampleBuffer>& sample,
                  const std::shared_ptr<RecycledBlocks>& blocks = nullptr);

 private:
  ResamplerHandle converter_;
  AVSampleFormat inputFormat_ = AV_SAMPLE_FMT_NONE;
  int inputRate_ = 0;
  AVChannelLayout inputLayout_{};
  PcmFormat output_;
};

}  // namespace wmvcore
