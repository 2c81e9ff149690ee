// Decodes a stream's packets ahead of the reader on worker threads, in segments of packets,
// and hands the decoded frames back in order on the caller's thread, so that decoding overlaps
// what the caller does with the audio.
//
// Streams of WMA v1 and v2 without noise substitution are decoded in segments side by side,
// one decoder a worker, each segment started early, by one packet where the stream allows it:
// that packet fills the bit reservoir and the overlap, and its frames are dropped, so what a
// segment keeps is what one decoder gives. Every other stream (WMA Pro, Lossless, Voice, and
// v1 and v2 with noise substitution, whose noise table position runs on from the start of the
// stream, or with block sizes that change but no bit reservoir, which carry them on from the
// start) is decoded in one piece by the stream's own decoder, segment after segment on one
// worker. Workers
// of segments side by side also convert the audio to the reader's format where that carries
// nothing from frame to frame; the rest is converted by the reader.
// Memory stays bounded: a segment a worker and one more are in flight, whatever the length.
// A segment keeps its decoded frames by reference until they are delivered. A frame its worker
// converts goes straight into the sample buffer the reader hands out, and only the frame's
// shape is kept: the decoded samples would take twice the room of the converted ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <windows.h>

#include "common/com_ptr.h"
#include "ffmpeg/ffmpeg_handles.h"
#include "pipeline/pcm_format.h"
#include "pipeline/worker_pool.h"

namespace wmvcore {

class RecycledBlocks;
class SampleBuffer;

class SegmentedDecoder {
 public:
  // Decodes for `decoder`, the stream's own decoder, opened and not used yet, which this
  // object and its segments then share: it decodes the first segment, or every segment when
  // the stream is decoded in one piece. Up to `threads` workers; null when none can start.
  // `format` is what the reader converts to, as SetFormat says.
  static std::unique_ptr<SegmentedDecoder> Start(SharedCodecContext decoder, unsigned threads,
                                                 const PcmFormat& format);
  ~SegmentedDecoder();
  SegmentedDecoder(const SegmentedDecoder&) = delete;
  SegmentedDecoder& operator=(const SegmentedDecoder&) = delete;

  // The format the reader converts to from now on. Segments of a stream decoded side by side
  // are converted to it by their worker when that carries nothing from frame to frame (the
  // rate stays); the others are handed back decoded, for the reader to convert.
  void SetFormat(const PcmFormat& format);
  // Takes a packet's reference, leaving it empty; null marks the end of the stream.
  void Send(AVPacket* packet);
  // Moves the next decoded frame into `frame`, empty. When a worker has already converted it
  // to `format`, `converted` holds its samples and `frame` its shape alone; else `converted`
  // is null and the frame is the caller's to convert. A frame converted to another format,
  // since changed, is decoded again here. S_OK; S_FALSE when more packets are wanted first;
  // NS_E_NO_MORE_SAMPLES once the end has been sent and every frame handed back;
  // E_OUTOFMEMORY.
  HRESULT Receive(const PcmFormat& format, AVFrame& frame, ComPtr<SampleBuffer>& converted);

 private:
  class Segment;
  SegmentedDecoder(SharedCodecContext decoder, SharedCodecContexts decoders,
                   CodecParametersHandle parameters, unsigned threads, const PcmFormat& format);
  // A new segment, from the spares when there is one: the first (`before` null) on the
  // stream's own decoder; a later one on a worker's decoder, started early with the last
  // packets of `before`.
  std::unique_ptr<Segment> NextSegment(const Segment* before);
  bool Full(const Segment& segment) const;
  // Whether a worker's decoder, starting afresh on `packet`, decodes its last frame as the
  // stream's own decoder does, so that a segment may start with it.
  bool StartsAfresh(const AVPacket& packet) const;
  // Decodes the delivering segment again here, its frames left unconverted.
  HRESULT DecodeAgain();

  SharedCodecContext decoder_;
  // The decoder's codec and time base, taken while no worker uses it.
  const AVCodec* codec_;
  AVRational timebase_;
  CodecParametersHandle parameters_;  // the stream's, for decoding a segment again
  SharedCodecContexts decoders_;      // one a worker; empty: decoded in one piece
  PcmFormat format_;
  int64_t segmentBytes_ = 0;  // 0: segments are cut by packet count alone
  bool reservoir_;            // frames run on from packet to packet
  int blockAlign_;            // a packet's bytes
  // Where workers make the sample buffers they convert into: blocks the caller releases come
  // back for the next segment instead of going back to the system.
  std::shared_ptr<RecycledBlocks> blocks_;
  std::unique_ptr<Segment> filling_;
  bool ended_ = false;
  bool outOfMemory_ = false;  // a segment could not be made: the stream cannot go on
  std::unique_ptr<Segment> delivering_;
  std::size_t nextFrame_ = 0;
  // Delivered segments, kept for the next; no more than are ever in use at once.
  std::vector<std::unique_ptr<Segment>> spares_;
  WorkerPool pool_;  // last: its workers end before the decoders go
};

}  // namespace wmvcore
