// Encodes a stream's whole frames in segments on worker threads, one encoder a worker. Each
// segment starts with one frame of priming: the frame before it, or silence for the first,
// which is what a fresh encoder has seen. The encoders it is used for carry nothing from frame
// to frame but the overlap with the frame before, so once primed a segment's encoder gives
// exactly the packets that one encoder running through the whole stream gives. The priming
// frame's packet is dropped; the others go to the sink in order, on the caller's thread.
// Memory stays bounded: one segment a worker and one more are in flight, whatever the length,
// and their buffers are used again from segment to segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <windows.h>

#include "audio_encoder.h"
#include "ffmpeg_handles.h"
#include "worker_pool.h"

namespace wmvcore {

class SegmentedEncoder {
 public:
  // Encodes with `encoders`, opened alike and unused, one a worker; null when no worker can
  // start, and the caller encodes by itself.
  static std::unique_ptr<SegmentedEncoder> Start(std::vector<CodecContextHandle> encoders);
  ~SegmentedEncoder();
  SegmentedEncoder(const SegmentedEncoder&) = delete;
  SegmentedEncoder& operator=(const SegmentedEncoder&) = delete;

  // Moves one whole frame from `queue` into the segment being filled, stamped `pts`; hands a
  // full segment to the workers and writes the packets of the segments done.
  HRESULT Add(AVAudioFifo& queue, int64_t pts, PacketSink& sink);
  // Encodes the frames taken since the last segment and writes every packet left.
  HRESULT Finish(PacketSink& sink);

 private:
  class Segment;
  SegmentedEncoder(SharedCodecContexts encoders, int frameSize, int channels);
  // A segment to fill, from the spares when there is one.
  std::unique_ptr<Segment> NewSegment();
  // Hands the filling segment to the workers and starts the next, primed with its last
  // frame; waits only when enough are in flight.
  HRESULT Submit(PacketSink& sink);
  HRESULT WriteOldest(PacketSink& sink);

  SharedCodecContexts encoders_;
  // Taken at the start, before any worker codes with the encoders.
  int frameSize_;
  int channels_;
  std::unique_ptr<Segment> filling_;
  // Written segments, their buffers kept for the next; no more than are ever in use at once.
  std::vector<std::unique_ptr<Segment>> spares_;
  WorkerPool pool_;  // last: its workers end before the encoders go
};

}  // namespace wmvcore
