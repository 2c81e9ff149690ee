// Codes a stream's whole frames in segments of the encoder's fixed number of frames, on worker
// threads (one coder a worker) or, with one coding thread, on the caller's. Each segment holds
// the encoder's priming frames before its coded ones (silence before the first) and its
// lookahead frames after them, and is coded by a coder that starts afresh (stream_encoder.h):
// where the segments fall depends on the stream alone, so the payloads are the same for any
// thread count. They go to the sink in order, on the caller's thread. Memory stays bounded:
// one segment a worker and one more are in flight, whatever the length, and their buffers are
// used again from segment to segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <windows.h>

#include "codecs/stream_encoder.h"
#include "pipeline/worker_pool.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
}

namespace wmvcore {

using SharedCoders = std::shared_ptr<const std::vector<std::unique_ptr<SegmentCoder>>>;

class SegmentedEncoder {
 public:
  // Codes with `encoder`'s coders on `threads` threads (1: the caller's); null when no coder
  // can be made.
  static std::unique_ptr<SegmentedEncoder> Start(const StreamEncoder& encoder, unsigned threads);
  ~SegmentedEncoder();
  SegmentedEncoder(const SegmentedEncoder&) = delete;
  SegmentedEncoder& operator=(const SegmentedEncoder&) = delete;

  // Moves one whole frame from `queue` (planar, in the encoder's layout) into the segment being
  // filled; hands a full segment to the coders and writes the payloads of the segments done.
  // The stream's last frame says how many of its samples are `filling` (SegmentAudio).
  HRESULT Add(AVAudioFifo& queue, PayloadSink& sink, int filling = 0);
  // Codes the frames taken since the last segment and writes every payload left.
  HRESULT Finish(PayloadSink& sink);

 private:
  class Segment;
  SegmentedEncoder(const EncoderShape& shape, SharedCoders coders, unsigned threads);
  // A segment to fill, from the spares when there is one.
  std::unique_ptr<Segment> NewSegment();
  // Codes the filling segment and starts the next from its last frames; waits only when
  // enough are in flight.
  HRESULT Submit(PayloadSink& sink);
  HRESULT Code(std::unique_ptr<Segment> segment, PayloadSink& sink);
  HRESULT WriteOldest(PayloadSink& sink);
  HRESULT Write(Segment& segment, PayloadSink& sink);

  EncoderShape shape_;
  SharedCoders coders_;
  std::unique_ptr<Segment> filling_;
  int64_t nextPts_ = 0;  // of the next frame taken
  // Written segments, their buffers kept for the next; no more than are ever in use at once.
  std::vector<std::unique_ptr<Segment>> spares_;
  std::unique_ptr<WorkerPool> pool_;  // null: segments are coded on the caller's thread; last,
                                      // so that its workers end before the coders go
};

}  // namespace wmvcore
