#include "pipeline/segmented_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/result.h"

namespace wmvcore {
namespace {

// Payloads kept in order, their bytes in one buffer used again from segment to segment.
class PayloadList final : public PayloadSink {
 public:
  HRESULT Write(const Payload& payload) override {
    entries_.push_back(Entry{bytes_.size(), payload});
    bytes_.insert(bytes_.end(), payload.data, payload.data + payload.size);
    return S_OK;
  }
  void Clear() {
    bytes_.clear();
    entries_.clear();
  }
  HRESULT WriteTo(PayloadSink& sink) const {
    for (const Entry& entry : entries_) {
      Payload payload = entry.payload;
      payload.data = bytes_.data() + entry.offset;
      RETURN_IF_FAILED(sink.Write(payload));
    }
    return S_OK;
  }

 private:
  // A payload as written, all but its bytes, which lie in bytes_ from `offset` on.
  struct Entry {
    std::size_t offset;
    Payload payload;
  };
  std::vector<BYTE> bytes_;
  std::vector<Entry> entries_;
};

}  // namespace

// Whole frames in one buffer, one after the other, each frame's channels one after the other:
// the priming frames, the coded ones, the lookahead.
class SegmentedEncoder::Segment final : public WorkerJob {
 public:
  Segment(const EncoderShape& shape, SharedCoders coders)
      : shape_(shape),
        coders_(std::move(coders)),
        capacity_(static_cast<std::size_t>(shape.primingFrames + shape.segmentFrames +
                                           shape.lookaheadFrames)) {}

  void Allocate() {
    const std::size_t samples = capacity_ * FrameSamples();
    if (shape_.layout == SampleLayout::kFloat)
      floats_.resize(samples);
    else
      ints_.resize(samples);
  }
  bool full() const { return frames_ == capacity_; }
  // Whether it holds any frame to code.
  bool HasCoded() const { return frames_ > Priming(); }

  // Empties the segment for the stream's start at `pts`, primed with silence.
  void StartWithSilence(int64_t pts) {
    Reset(pts);
    frames_ = Priming();
    std::fill_n(floats_.begin(), floats_.empty() ? 0 : frames_ * FrameSamples(), 0.0f);
    std::fill_n(ints_.begin(), ints_.empty() ? 0 : frames_ * FrameSamples(), 0);
  }
  // Empties the segment for a start where `before`, full, ends its coded frames: its priming
  // frames are the last ones `before` codes, and its first frames `before`'s lookahead.
  void StartAfter(const Segment& before) {
    Reset(before.firstPts_ + static_cast<int64_t>(shape_.segmentFrames) * shape_.frameSamples);
    const std::size_t kept = Priming() + static_cast<std::size_t>(shape_.lookaheadFrames);
    const std::size_t from = (before.frames_ - kept) * FrameSamples();
    const std::size_t count = kept * FrameSamples();
    if (!floats_.empty()) std::copy_n(before.floats_.begin() + from, count, floats_.begin());
    if (!ints_.empty()) std::copy_n(before.ints_.begin() + from, count, ints_.begin());
    frames_ = kept;
  }
  HRESULT Append(AVAudioFifo& queue) {
    void* planes[AV_NUM_DATA_POINTERS] = {};
    const std::size_t start = frames_ * FrameSamples();
    for (int c = 0; c < shape_.format.channels; ++c) {
      const std::size_t at = start + static_cast<std::size_t>(c) * shape_.frameSamples;
      planes[c] = floats_.empty() ? static_cast<void*>(ints_.data() + at)
                                  : static_cast<void*>(floats_.data() + at);
    }
    if (av_audio_fifo_read(&queue, planes, shape_.frameSamples) < shape_.frameSamples)
      return E_FAIL;
    ++frames_;
    return S_OK;
  }
  void SetFilling(int samples) { fillingSamples_ = static_cast<std::size_t>(samples); }

  HRESULT Run(unsigned worker) override {
    SegmentAudio audio(floats_.data(), ints_.data(), shape_.frameSamples, shape_.format.channels);
    audio.priming = Priming();
    // A full segment codes its share and looks ahead; the stream's last codes all it holds.
    audio.lookahead = full() ? static_cast<std::size_t>(shape_.lookaheadFrames) : 0;
    audio.coded = frames_ - audio.priming - audio.lookahead;
    audio.firstPts = firstPts_;
    audio.filling = fillingSamples_;
    payloads.Clear();
    return (*coders_)[worker]->Code(audio, payloads);
  }

  PayloadList payloads;  // once run

 private:
  std::size_t Priming() const { return static_cast<std::size_t>(shape_.primingFrames); }
  std::size_t FrameSamples() const {
    return static_cast<std::size_t>(shape_.frameSamples) * shape_.format.channels;
  }
  void Reset(int64_t pts) {
    frames_ = 0;
    fillingSamples_ = 0;
    firstPts_ = pts;
    payloads.Clear();
    result = S_OK;
  }

  EncoderShape shape_;
  SharedCoders coders_;
  std::size_t capacity_;  // frames, priming and lookahead included
  std::vector<float> floats_;
  std::vector<int32_t> ints_;
  std::size_t frames_ = 0;
  std::size_t fillingSamples_ = 0;  // of the last frame, at the stream's end
  int64_t firstPts_ = 0;
};

std::unique_ptr<SegmentedEncoder> SegmentedEncoder::Start(const StreamEncoder& encoder,
                                                          unsigned threads) {
  const EncoderShape& shape = encoder.shape();
  if (shape.format.channels < 1 || shape.format.channels > AV_NUM_DATA_POINTERS ||
      shape.frameSamples <= 0 || shape.segmentFrames <= 0 || shape.primingFrames < 0 ||
      shape.lookaheadFrames < 0)
    return nullptr;
  threads = std::max(threads, 1u);
  auto coders = std::make_shared<std::vector<std::unique_ptr<SegmentCoder>>>();
  for (unsigned i = 0; i < threads; ++i) {
    coders->push_back(encoder.NewCoder());
    if (!coders->back()) {
      coders->pop_back();
      break;
    }
  }
  // Fewer coders than threads code on as many workers as there are coders.
  if (coders->empty()) return nullptr;
  const auto workers = static_cast<unsigned>(coders->size());
  std::unique_ptr<SegmentedEncoder> segmented(
      new (std::nothrow) SegmentedEncoder(shape, std::move(coders), workers));
  return segmented;
}

SegmentedEncoder::SegmentedEncoder(const EncoderShape& shape, SharedCoders coders, unsigned threads)
    : shape_(shape), coders_(std::move(coders)) {
  if (threads > 1) {
    pool_.reset(new (std::nothrow) WorkerPool(threads));
    // Without any worker, the segments are coded here.
    if (pool_ && pool_->threads() == 0) pool_.reset();
  }
}

SegmentedEncoder::~SegmentedEncoder() = default;

std::unique_ptr<SegmentedEncoder::Segment> SegmentedEncoder::NewSegment() {
  if (!spares_.empty()) {
    std::unique_ptr<Segment> spare = std::move(spares_.back());
    spares_.pop_back();
    return spare;
  }
  std::unique_ptr<Segment> segment(new (std::nothrow) Segment(shape_, coders_));
  if (!segment) return nullptr;
  segment->Allocate();  // bad_alloc is the caller's E_OUTOFMEMORY (out_of_memory.h)
  return segment;
}

HRESULT SegmentedEncoder::Add(AVAudioFifo& queue, PayloadSink& sink, int filling) {
  if (!filling_) {
    filling_ = NewSegment();
    if (!filling_) return E_OUTOFMEMORY;
    filling_->StartWithSilence(nextPts_);
  }
  RETURN_IF_FAILED(filling_->Append(queue));
  filling_->SetFilling(filling);
  nextPts_ += shape_.frameSamples;
  return filling_->full() ? Submit(sink) : S_OK;
}

HRESULT SegmentedEncoder::Submit(PayloadSink& sink) {
  std::unique_ptr<Segment> next = NewSegment();
  if (!next) return E_OUTOFMEMORY;
  next->StartAfter(*filling_);
  RETURN_IF_FAILED(Code(std::move(filling_), sink));
  filling_ = std::move(next);
  return S_OK;
}

HRESULT SegmentedEncoder::Code(std::unique_ptr<Segment> segment, PayloadSink& sink) {
  if (!pool_) {
    const HRESULT coded = segment->Run(0);
    if (SUCCEEDED(coded)) RETURN_IF_FAILED(Write(*segment, sink));
    spares_.push_back(std::move(segment));
    return coded;
  }
  pool_->Submit(std::move(segment));
  while (pool_->InFlight() > pool_->threads() || pool_->OldestDone())
    RETURN_IF_FAILED(WriteOldest(sink));
  return S_OK;
}

HRESULT SegmentedEncoder::Finish(PayloadSink& sink) {
  if (filling_ && filling_->HasCoded()) RETURN_IF_FAILED(Code(std::move(filling_), sink));
  filling_.reset();
  while (pool_ && pool_->InFlight() > 0) RETURN_IF_FAILED(WriteOldest(sink));
  return S_OK;
}

HRESULT SegmentedEncoder::WriteOldest(PayloadSink& sink) {
  std::unique_ptr<Segment> segment = pool_->TakeOldest<Segment>();
  RETURN_IF_FAILED(segment->result);
  RETURN_IF_FAILED(Write(*segment, sink));
  spares_.push_back(std::move(segment));
  return S_OK;
}

HRESULT SegmentedEncoder::Write(Segment& segment, PayloadSink& sink) {
  return segment.payloads.WriteTo(sink);
}

}  // namespace wmvcore
