// The one interface that every encoder of the writer sits behind: libavcodec's
// (libavcodec_encoder.h) and this runtime's own. The writer's front end (audio_encoder.h) turns
// the caller's PCM into whole frames of the encoder's sample layout; the segmenter
// (segmented_encoder.h) cuts the frames into segments of a fixed number of frames, the same for
// any thread count, and each segment is coded by a coder that starts afresh, having seen the
// frames just before the segment (priming: the transform's overlap, the analysis' history) and
// just after it (lookahead: the next block's length), so that a segment's payloads depend on
// the audio alone. The payloads of the segments, joined in order, are the stream; or, for an
// encoder whose payloads hold several frames and whose frames span payloads (a bit reservoir),
// the coders write frames, and the encoder's packer joins them into payloads on the caller's
// thread, in stream order. Such an encoder's rate control gives each segment the same share of
// bits whatever came before it, so that the frames still depend on the audio alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <windows.h>

#include "com/media_type.h"
#include "common/quality_rate.h"

namespace wmvcore {

// How an encoder takes its samples, planar either way: float at full scale 1, or 32-bit
// integers with the sample at the top (a 16-bit sample in the upper 16 bits).
enum class SampleLayout { kFloat, kInt32 };

// One payload of the stream; a constant-rate format's are each its block alignment long.
struct Payload {
  const BYTE* data = nullptr;
  std::size_t size = 0;
  int64_t pts = 0;       // in stream samples, counted from the first frame given to the coder
  int64_t duration = 0;  // in stream samples
  // A frame that a coder hands to its encoder's packer: its length in bits (0: all of its
  // bytes), and whether a decoder may start on it.
  uint64_t bits = 0;
  bool seekable = false;
  // For a codec whose decoder, starting on a frame, first reads the sizes of the block before
  // it and of its first block (Windows Media Audio v1 and v2, where a packet's first new frame
  // carries them): their indices, the block before's in the high four bits, the first
  // block's in the low four.
  uint8_t blockSizes = 0;
};

class PayloadSink {
 public:
  virtual HRESULT Write(const Payload& payload) = 0;

 protected:
  ~PayloadSink() = default;
};

// What the front end and the segmenter know of an encoder.
struct EncoderShape {
  WaveFormat format;  // the stream's format, its block alignment and codec data filled in
  SampleLayout layout = SampleLayout::kFloat;
  int frameSamples = 0;     // samples a channel in one frame
  int leadingFrames = 0;    // frames of silence put ahead of the input: what decoding drops
  int primingFrames = 0;    // frames a coder sees before a segment's first, uncoded
  int lookaheadFrames = 0;  // frames after a segment's last that a coder sees, uncoded
  int segmentFrames = 0;    // frames a segment codes; the stream's last may have up to
                            // segmentFrames + lookaheadFrames - 1
  // Each payload in a data packet of the file of its own, its size: how payloads of several
  // frames (superframes) are stored. Otherwise payloads share the muxer's packets.
  bool packetPerPayload = false;
  // The format's average rate is part of its coding (the decoder derives its layout from it):
  // a variable-rate stream's true average then goes only where the header gives rates.
  bool averageSetsLayout = false;
};

// The frames of one segment: the priming frames, the coded ones, then the lookahead, each
// frame its channels one after another. The first segment's priming frames are silence; the
// last segment has no lookahead.
class SegmentAudio {
 public:
  SegmentAudio(const float* floats, const int32_t* ints, int frameSamples, int channels)
      : floats_(floats), ints_(ints), frameSamples_(frameSamples), channels_(channels) {}

  // A channel of frame `frame`, counted from the first priming frame; in the encoder's layout.
  const float* Float(std::size_t frame, int channel) const {
    return floats_ + Offset(frame, channel);
  }
  const int32_t* Int32(std::size_t frame, int channel) const {
    return ints_ + Offset(frame, channel);
  }
  int frameSamples() const { return frameSamples_; }
  int channels() const { return channels_; }

  std::size_t priming = 0;
  std::size_t coded = 0;
  std::size_t lookahead = 0;
  // Samples of silence at the end of the last coded frame that only fill it: at the stream's
  // end, for an encoder that tells the decoder to drop them.
  std::size_t filling = 0;
  int64_t firstPts = 0;  // the first coded frame's first sample

 private:
  std::size_t Offset(std::size_t frame, int channel) const {
    return (frame * channels_ + static_cast<std::size_t>(channel)) * frameSamples_;
  }
  const float* floats_;
  const int32_t* ints_;
  int frameSamples_;
  int channels_;
};

class SegmentCoder {
 public:
  virtual ~SegmentCoder() = default;
  // Codes the segment's coded frames into payloads, in order. What a coder writes for a
  // segment depends on that segment's audio alone, never on the segments it coded before.
  // E_OUTOFMEMORY when memory runs out.
  virtual HRESULT Code(const SegmentAudio& audio, PayloadSink& sink) = 0;
};

// Joins the frames the coders write into the stream's payloads, in stream order.
class PayloadPacker {
 public:
  virtual ~PayloadPacker() = default;
  // Takes the next frame; writes the payloads it completes.
  virtual HRESULT Add(const Payload& frame, PayloadSink& sink) = 0;
  // Writes the last payload, however full.
  virtual HRESULT Finish(PayloadSink& sink) = 0;
};

// Frames from the coders through the packer to the sink.
class PackingSink final : public PayloadSink {
 public:
  PackingSink(PayloadPacker& packer, PayloadSink& sink) : packer_(packer), sink_(sink) {}
  HRESULT Write(const Payload& frame) override { return packer_.Add(frame, sink_); }

 private:
  PayloadPacker& packer_;
  PayloadSink& sink_;
};

class StreamEncoder {
 public:
  virtual ~StreamEncoder() = default;
  virtual const EncoderShape& shape() const = 0;
  // A coder for one thread; null when it cannot be made. Coders share nothing mutable.
  virtual std::unique_ptr<SegmentCoder> NewCoder() const = 0;
  // Makes the stream's packer, or leaves `packer` null when the coders write payloads
  // themselves; E_OUTOFMEMORY when memory runs out.
  virtual HRESULT NewPacker(std::unique_ptr<PayloadPacker>& packer) const {
    packer.reset();
    return S_OK;
  }
};

// Opens an encoder for a stream of `stream`'s tag, rate, channels and average rate; null when
// the encoder does not write such a stream.
using OpenStreamEncoder = std::unique_ptr<StreamEncoder> (*)(const WaveFormat& stream);

}  // namespace wmvcore
