// Encodes interleaved PCM (8, 16 or 24 bits, any rate and channel count) with one of
// libavcodec's Windows Media Audio encoders: libswresample converts the input to the encoder's
// planar float at the stream's rate and channels, whole frames are encoded as they fill, and
// each packet goes to a sink. With more than one coding thread, the whole frames are encoded in
// segments on worker threads (segmented_encoder.h) and the packets come out the same.
//
// The encoder's first frame does not survive decoding (the decoder drops one frame more than
// the encoder pads), so a frame of silence goes first: decoded, the file then lines up with
// the input from its first sample. The last frame is filled with silence, so nothing at the
// end is lost either.
#pragma once

#include <memory>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/result.h"
#include "ffmpeg_handles.h"
#include "media_type.h"
#include "pcm_format.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace wmvcore {

class PacketSink {
 public:
  virtual HRESULT Write(AVPacket& packet) = 0;

 protected:
  ~PacketSink() = default;
};

// Sends one frame (null: the end of the stream) to `codec` and writes every packet it gives to
// `sink`, through `packet`.
HRESULT EncodeFrame(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                    PacketSink& sink);

class SegmentedEncoder;

class AudioEncoder {
 public:
  // An encoder for the stream's format; null when libavcodec refuses it.
  static std::unique_ptr<AudioEncoder> Open(AVCodecID codec, const WaveFormat& stream);
  ~AudioEncoder();
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  const AVCodecContext& context() const { return *codec_; }
  // Whether a converter from `input` to the stream's format can be made.
  static bool CanConvert(const PcmFormat& input, const WaveFormat& stream);

  // Starts encoding input of `input`'s format.
  HRESULT Begin(const PcmFormat& input);
  // Takes any number of bytes; a partial sample frame at the end waits for the next call.
  HRESULT Write(const BYTE* bytes, std::size_t count, PacketSink& sink);
  // Converts and encodes what is left and drains the encoder.
  HRESULT Finish(PacketSink& sink);
  // Each of the three gives E_OUTOFMEMORY when memory runs out (out_of_memory.h).

  // Sample frames taken so far, at the input's rate.
  QWORD InputFrames() const { return inputFrames_; }

 private:
  explicit AudioEncoder(CodecContextHandle codec);
  HRESULT BeginCoding(const PcmFormat& input);
  HRESULT WriteBytes(const BYTE* bytes, std::size_t count, PacketSink& sink);
  HRESULT FinishCoding(PacketSink& sink);
  // Converts `frames` sample frames of input (null: what the converter holds) into the queue.
  HRESULT Convert(const BYTE* bytes, std::size_t frames);
  // Encodes every whole frame in the queue; with `padLast`, also a partial one, filled.
  HRESULT EncodeQueued(PacketSink& sink, bool padLast);
  // Fills `frame` with the next whole frame of the queue.
  HRESULT DequeueFrame(AVFrame& frame);
  HRESULT QueueSilence(int frames);

  CodecContextHandle codec_;
  ResamplerHandle converter_;
  AVAudioFifo* queue_ = nullptr;
  FrameHandle frame_{av_frame_alloc()};
  PacketHandle packet_{av_packet_alloc()};
  PcmFormat input_;
  std::vector<BYTE> carry_;       // a partial sample frame from the last call
  std::vector<int32_t> widened_;  // 24-bit input widened for the converter
  std::vector<float> converted_;  // the converter's planar output
  std::vector<uint8_t*> planes_;
  int64_t nextPts_ = 0;
  QWORD inputFrames_ = 0;
  QWORD convertedFrames_ = 0;                   // what the converter gave, at the stream's rate
  std::unique_ptr<SegmentedEncoder> segments_;  // null: frames are encoded here, one by one
};

}  // namespace wmvcore
