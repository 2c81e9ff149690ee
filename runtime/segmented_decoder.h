// Decodes a stream's packets ahead of the reader on worker threads, in segments of packets,
// and hands the decoded frames back in order on the caller's thread, so that decoding overlaps
// what the caller does with the audio.
//
// Streams of WMA v1 and v2 without noise substitution are decoded in segments side by side,
// one decoder a worker, each segment started a few packets early: those packets fill the bit
// reservoir and the overlap, and their frames are dropped, so what a segment keeps is what one
// decoder gives. Every other stream (WMA Pro, Lossless, Voice, and v1 and v2 with noise
// substitution, whose noise table position runs on from the start of the stream) is decoded
// in one piece by the stream's own decoder, segment after segment on one worker.
// Memory stays bounded: a segment a worker and one more are in flight, whatever the length.
// The decoded audio is copied out of the decoder into the segment's own buffer, used again
// from segment to segment, so that no decoder holds frames for the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <windows.h>

#include "ffmpeg_handles.h"
#include "worker_pool.h"

namespace wmvcore {

class SegmentedDecoder {
 public:
  // Decodes for `decoder`, the stream's own decoder, opened and not used yet, which must
  // outlive this object: it decodes the first segment, or every segment when the stream is
  // decoded in one piece. Up to `threads` workers; null when none can start.
  static std::unique_ptr<SegmentedDecoder> Start(AVCodecContext& decoder, unsigned threads);
  ~SegmentedDecoder();
  SegmentedDecoder(const SegmentedDecoder&) = delete;
  SegmentedDecoder& operator=(const SegmentedDecoder&) = delete;

  // Takes a packet's reference, leaving it empty; null marks the end of the stream.
  void Send(AVPacket* packet);
  // Points `frame`, empty, at the next decoded frame, which stays until the next call (the
  // frame holds no reference, so unreferencing it only empties it again): S_OK; S_FALSE when
  // more packets are wanted first; NS_E_NO_MORE_SAMPLES once the end has been sent and every
  // frame handed back; E_OUTOFMEMORY.
  HRESULT Receive(AVFrame& frame);

 private:
  class Segment;
  SegmentedDecoder(AVCodecContext& decoder, std::vector<CodecContextHandle> decoders,
                   unsigned threads);
  // A new segment, from the spares when there is one: the first (`before` null) on the
  // stream's own decoder; a later one on a worker's decoder, started early with the last
  // packets of `before`.
  std::unique_ptr<Segment> NextSegment(const Segment* before);
  bool Full(const Segment& segment) const;

  AVCodecContext& decoder_;
  std::vector<CodecContextHandle> decoders_;  // one a worker; empty: decoded in one piece
  int64_t segmentBytes_ = 0;                  // 0: segments are cut by packet count alone
  std::unique_ptr<Segment> filling_;
  bool ended_ = false;
  bool outOfMemory_ = false;  // a segment could not be made: the stream cannot go on
  std::unique_ptr<Segment> delivering_;
  std::size_t nextFrame_ = 0;
  // Delivered segments, their buffers kept for the next; no more than are ever in use at once.
  std::vector<std::unique_ptr<Segment>> spares_;
  WorkerPool pool_;  // last: its workers end before the decoders go
};

}  // namespace wmvcore
