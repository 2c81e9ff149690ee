#include "segmented_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace wmvcore {
namespace {

// Samples a channel in one segment: 1.5 s at 44.1 kHz, 512 KiB of stereo floats. The priming
// frame costs one frame a segment (3% at 2048 samples a frame), and handing a segment over
// costs far less than encoding it.
constexpr int kSegmentSamples = 65536;

// Packets kept in order, or dropped while `keep` is false.
class PacketList final : public PacketSink {
 public:
  HRESULT Write(AVPacket& packet) override {
    if (!keep) return S_OK;
    PacketHandle kept(av_packet_alloc());
    if (!kept) return E_OUTOFMEMORY;
    av_packet_move_ref(kept.get(), &packet);
    packets.push_back(std::move(kept));
    return S_OK;
  }

  bool keep = false;
  std::vector<PacketHandle> packets;
};

}  // namespace

// Whole frames of planar float in one buffer, one after the other, each frame's channels one
// after the other; the priming frame first.
class SegmentedEncoder::Segment final : public WorkerJob {
 public:
  Segment(SharedCodecContexts encoders, int frameSize, int channels, std::size_t capacity)
      : encoders_(std::move(encoders)),
        frameSize_(frameSize),
        channels_(channels),
        capacity_(capacity) {}

  bool Allocate() {
    samples_.reset(new (std::nothrow) float[capacity_ * FrameFloats()]);
    return samples_ != nullptr;
  }
  std::size_t frames() const { return frames_; }
  bool full() const { return frames_ == capacity_; }
  int64_t nextPts() const { return firstPts_ + static_cast<int64_t>(frames_) * frameSize_; }

  // Empties the segment for a new start at `pts`, with a frame of silence there.
  void StartWithSilence(int64_t pts) {
    Reset(pts);
    std::fill_n(Frame(0), FrameFloats(), 0.0f);
    frames_ = 1;
  }
  // Empties the segment for a start where `before` ends, primed with its last frame.
  void StartAfter(const Segment& before) {
    Reset(before.nextPts() - frameSize_);
    std::memcpy(Frame(0), before.Frame(before.frames_ - 1), FrameFloats() * sizeof(float));
    frames_ = 1;
  }
  HRESULT Append(AVAudioFifo& queue) {
    float* frame = Frame(frames_);
    uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
    for (int c = 0; c < channels_; ++c)
      planes[c] = reinterpret_cast<uint8_t*>(frame + static_cast<std::size_t>(c) * frameSize_);
    if (av_audio_fifo_read(&queue, reinterpret_cast<void**>(planes), frameSize_) < frameSize_)
      return E_FAIL;
    ++frames_;
    return S_OK;
  }

  HRESULT Run(unsigned worker) override {
    AVCodecContext& encoder = *(*encoders_)[worker];
    FrameHandle view(av_frame_alloc());
    PacketHandle scratch(av_packet_alloc());
    if (!view || !scratch || av_channel_layout_copy(&view->ch_layout, &encoder.ch_layout) < 0)
      return E_OUTOFMEMORY;
    view->format = encoder.sample_fmt;
    view->sample_rate = encoder.sample_rate;
    view->nb_samples = frameSize_;
    view->extended_data = view->data;
    PacketList list;
    HRESULT result = S_OK;
    for (std::size_t k = 0; k < frames_ && SUCCEEDED(result); ++k) {
      // The frame only points into the segment: libavcodec takes a copy of it.
      for (int c = 0; c < channels_; ++c)
        view->data[c] =
            reinterpret_cast<uint8_t*>(Frame(k) + static_cast<std::size_t>(c) * frameSize_);
      view->pts = firstPts_ + static_cast<int64_t>(k) * frameSize_;
      list.keep = k > 0;
      result = EncodeFrame(encoder, view.get(), *scratch, list);
    }
    // One packet a frame is what makes the join exact; anything else is not these encoders.
    if (SUCCEEDED(result) && list.packets.size() + 1 != frames_) result = E_UNEXPECTED;
    packets = std::move(list.packets);
    return result;
  }

  std::vector<PacketHandle> packets;  // one a frame after the priming one, once run

 private:
  std::size_t FrameFloats() const { return static_cast<std::size_t>(frameSize_) * channels_; }
  float* Frame(std::size_t k) const { return samples_.get() + k * FrameFloats(); }
  void Reset(int64_t pts) {
    frames_ = 0;
    firstPts_ = pts;
    packets.clear();
    result = S_OK;
  }

  SharedCodecContexts encoders_;
  int frameSize_;
  int channels_;
  std::size_t capacity_;  // frames, the priming one included
  std::unique_ptr<float[]> samples_;
  std::size_t frames_ = 0;
  int64_t firstPts_ = 0;
};

std::unique_ptr<SegmentedEncoder> SegmentedEncoder::Start(
    std::vector<CodecContextHandle> encoders) {
  if (encoders.empty() || encoders.front()->sample_fmt != AV_SAMPLE_FMT_FLTP ||
      encoders.front()->ch_layout.nb_channels > AV_NUM_DATA_POINTERS)
    return nullptr;
  const int frameSize = encoders.front()->frame_size;
  const int channels = encoders.front()->ch_layout.nb_channels;
  auto shared = std::make_shared<const std::vector<CodecContextHandle>>(std::move(encoders));
  std::unique_ptr<SegmentedEncoder> segmented(
      new (std::nothrow) SegmentedEncoder(std::move(shared), frameSize, channels));
  if (!segmented || segmented->pool_.threads() == 0) return nullptr;
  return segmented;
}

SegmentedEncoder::SegmentedEncoder(SharedCodecContexts encoders, int frameSize, int channels)
    : encoders_(std::move(encoders)),
      frameSize_(frameSize),
      channels_(channels),
      pool_(static_cast<unsigned>(encoders_->size())) {}

SegmentedEncoder::~SegmentedEncoder() = default;

std::unique_ptr<SegmentedEncoder::Segment> SegmentedEncoder::NewSegment() {
  if (!spares_.empty()) {
    std::unique_ptr<Segment> spare = std::move(spares_.back());
    spares_.pop_back();
    return spare;
  }
  const auto capacity = static_cast<std::size_t>(std::max(1, kSegmentSamples / frameSize_)) + 1;
  std::unique_ptr<Segment> segment(new (std::nothrow)
                                       Segment(encoders_, frameSize_, channels_, capacity));
  if (!segment || !segment->Allocate()) return nullptr;
  return segment;
}

HRESULT SegmentedEncoder::Add(AVAudioFifo& queue, int64_t pts, PacketSink& sink) {
  if (!filling_) {
    filling_ = NewSegment();
    if (!filling_) return E_OUTOFMEMORY;
    filling_->StartWithSilence(pts - frameSize_);
  }
  RETURN_IF_FAILED(filling_->Append(queue));
  return filling_->full() ? Submit(sink) : S_OK;
}

HRESULT SegmentedEncoder::Submit(PacketSink& sink) {
  std::unique_ptr<Segment> next = NewSegment();
  if (!next) return E_OUTOFMEMORY;
  next->StartAfter(*filling_);
  pool_.Submit(std::move(filling_));
  filling_ = std::move(next);
  while (pool_.InFlight() > pool_.threads() || pool_.OldestDone())
    RETURN_IF_FAILED(WriteOldest(sink));
  return S_OK;
}

HRESULT SegmentedEncoder::Finish(PacketSink& sink) {
  if (filling_ && filling_->frames() > 1) pool_.Submit(std::move(filling_));
  filling_.reset();
  while (pool_.InFlight() > 0) RETURN_IF_FAILED(WriteOldest(sink));
  return S_OK;
}

HRESULT SegmentedEncoder::WriteOldest(PacketSink& sink) {
  std::unique_ptr<Segment> segment = pool_.TakeOldest<Segment>();
  RETURN_IF_FAILED(segment->result);
  for (const auto& packet : segment->packets) RETURN_IF_FAILED(sink.Write(*packet));
  spares_.push_back(std::move(segment));
  return S_OK;
}

}  // namespace wmvcore
