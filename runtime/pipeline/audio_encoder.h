// The writer's encoding front end: takes interleaved PCM (8, 16 or 24 bits, any rate and
// channel count), converts it with libswresample to the encoder's planar layout at the
// stream's rate and channels, cuts it into whole frames and has them coded in segments
// (segmented_encoder.h) by the stream's encoder (stream_encoder.h), on worker threads when
// there are several; each payload goes to a sink, the same for any thread count.
//
// The encoder's leading frames of silence go first, so that the decoded file lines up with
// the input from its first sample; the last frame is filled with silence, so nothing at the
// end is lost either.
#pragma once

#include <memory>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "base/result.h"
#include "codecs/stream_encoder.h"
#include "com/media_type.h"
#include "ffmpeg/ffmpeg_handles.h"
#include "pipeline/pcm_format.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace wmvcore {

class SegmentedEncoder;

class AudioEncoder {
 public:
  // An encoder for the stream's format, opened by `open`; null when it refuses the format.
  static std::unique_ptr<AudioEncoder> Open(OpenStreamEncoder open, const WaveFormat& stream);
  ~AudioEncoder();
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  // The stream's format, with its block alignment and codec data.
  const WaveFormat& format() const { return encoder_->shape().format; }
  bool packetPerPayload() const { return encoder_->shape().packetPerPayload; }
  bool averageSetsLayout() const { return encoder_->shape().averageSetsLayout; }
  // Whether a converter from `input` to the stream's format can be made.
  static bool CanConvert(const PcmFormat& input, const WaveFormat& stream);

  // Starts encoding input of `input`'s format.
  HRESULT Begin(const PcmFormat& input);
  // Takes any number of bytes; a partial sample frame at the end waits for the next call.
  HRESULT Write(const BYTE* bytes, std::size_t count, PayloadSink& sink);
  // Converts and encodes what is left and writes every payload left.
  HRESULT Finish(PayloadSink& sink);
  // Each of the three gives E_OUTOFMEMORY when memory runs out (out_of_memory.h).

  // Sample frames taken so far, at the input's rate.
  QWORD InputFrames() const { return inputFrames_; }

 private:
  explicit AudioEncoder(std::unique_ptr<StreamEncoder> encoder);
  HRESULT BeginCoding(const PcmFormat& input);
  HRESULT WriteBytes(const BYTE* bytes, std::size_t count, PayloadSink& sink);
  HRESULT FinishCoding(PayloadSink& sink);
  // Converts `frames` sample frames of input (null: what the converter holds) into the queue.
  HRESULT Convert(const BYTE* bytes, std::size_t frames);
  // Encodes every whole frame in the queue; with `padLast`, also a partial one, filled.
  HRESULT EncodeQueued(PayloadSink& sink, bool padLast);
  HRESULT QueueSilence(int frames);
  // Points planes_ at `frames` samples a channel of converted_.
  void PointPlanes(int frames);

  std::unique_ptr<StreamEncoder> encoder_;
  AVSampleFormat sampleFormat_;  // planar, in the encoder's layout
  ResamplerHandle converter_;
  AVAudioFifo* queue_ = nullptr;
  PcmFormat input_;
  std::vector<BYTE> carry_;          // a partial sample frame from the last call
  std::vector<int32_t> widened_;     // 24-bit input widened for the converter
  std::vector<uint32_t> converted_;  // the converter's planar output: 4-byte samples
  std::vector<uint8_t*> planes_;
  QWORD inputFrames_ = 0;
  QWORD convertedFrames_ = 0;              // what the converter gave, at the stream's rate
  QWORD framesCoded_ = 0;                  // frames handed to the segments
  std::unique_ptr<PayloadPacker> packer_;  // null: the coders' payloads go to the sink
  std::unique_ptr<SegmentedEncoder> segments_;
};

}  // namespace wmvcore
