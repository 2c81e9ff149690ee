#include "pipeline/segmented_decoder.h"

#include <wmsdk.h>

#include <new>
#include <optional>

#include "base/result.h"
#include "base/result_codes.h"
#include "com/sample_buffer.h"
#include "ffmpeg/codec_contexts.h"
#include "pipeline/pcm_converter.h"
#include "pipeline/recycled_blocks.h"

namespace wmvcore {
namespace {

// Where a segment's decoder may start. A WMA v1/v2 frame's output is its first half added to
// the second half of the frame before, both windowed, so a segment starts early with the
// packet that ends the frame before its first, and drops that packet's audio. Without the bit
// reservoir every packet holds one whole frame, and any packet will do. With it, a packet
// opens with a count of the frames that end in it (the first may have begun in the packets
// before) and where the first frame that begins in it starts; a decoder starting afresh skips
// to there, so it decodes a packet's last frame as one decoder does only when that frame
// begins in the packet too: a count of two or more. Segments are cut after such a packet
// where they can, and start one packet early; otherwise they start early from the last such
// packet of the segment before, as far back as that is.
constexpr uint16_t kBitReservoir = 0x0002;
constexpr uint16_t kVariableBlocks = 0x0004;

// The coding flags of a WMA v1 or v2 stream's codec data, where the decoder reads them.
uint16_t CodingFlags(const AVCodecContext& codec) {
  const int at = codec.codec_id == AV_CODEC_ID_WMAV1 ? 2 : 4;
  if (codec.extradata == nullptr || codec.extradata_size < at + 2) return 0;
  return static_cast<uint16_t>(codec.extradata[at] | codec.extradata[at + 1] << 8);
}

// A segment ends after about this much audio by the stream's byte rate (690 KiB of 16-bit
// stereo at 44.1 kHz, twice that while left as decoded floats), and in segments decoded side
// by side not before it has enough packets of its own to make the early start a small share
// of the work.
constexpr int64_t kSegmentSeconds = 4;
constexpr std::size_t kMinParallelPackets = 16;
constexpr std::size_t kMaxSegmentPackets = 128;

// Whether libavcodec's WMA v1/v2 decoder fills bands with noise for this stream. The noise
// comes from a table whose read position runs on through the whole stream, so the output of
// such a stream depends on every frame before it. The decoder decides it from the rate (for
// v2 snapped to 44100, 22050, 16000, 11025 or 8000), the channels and the bit rate; this is
// its rule, in its arithmetic, as libavcodec 59 (FFmpeg 5.1) has it. The reader's tests cover
// formats on both sides of it.
constexpr unsigned kNoiseRuleLibavcodecMajor = 59;
bool AddsNoise(const AVCodecContext& codec) {
  int rate = codec.sample_rate;
  if (codec.codec_id == AV_CODEC_ID_WMAV2) {
    for (const int snapped : {44100, 22050, 16000, 11025, 8000}) {
      if (rate >= snapped) {
        rate = snapped;
        break;
      }
    }
  }
  const int channels = codec.ch_layout.nb_channels;
  const float bps =
      static_cast<float>(codec.bit_rate) / static_cast<float>(channels * codec.sample_rate);
  const float stereoBps = channels == 2 ? static_cast<float>(bps * 1.6) : bps;
  switch (rate) {
    case 44100:
      return !(stereoBps >= 0.61);
    case 22050:
      return !(stereoBps >= 1.16);
    case 8000:
      return !(bps > 0.75);
    default:
      return true;
  }
}

bool DecodesInSegments(const AVCodecContext& codec) {
  // Another libavcodec may decide otherwise: its streams are decoded in one piece, which gives
  // one decoder's output whatever its rule.
  if (AV_VERSION_MAJOR(avcodec_version()) != kNoiseRuleLibavcodecMajor) return false;
  if (codec.codec_id != AV_CODEC_ID_WMAV1 && codec.codec_id != AV_CODEC_ID_WMAV2) return false;
  // Block sizes are read at the start of each packet's frames only with the bit reservoir;
  // without it, they run on from the start of the stream.
  const uint16_t flags = CodingFlags(codec);
  if ((flags & kVariableBlocks) != 0 && (flags & kBitReservoir) == 0) return false;
  return codec.block_align > 0 && codec.bit_rate > 0 && codec.sample_rate > 0 &&
         codec.ch_layout.nb_channels > 0 && !AddsNoise(codec);
}

// Lets go of `frame`'s samples, once converted, keeping the shape that the reader's converter
// is set up from.
void KeepShapeOnly(AVFrame& frame) {
  const int format = frame.format;
  const int rate = frame.sample_rate;
  const int samples = frame.nb_samples;
  const AVChannelLayout layout = frame.ch_layout;
  frame.ch_layout = AVChannelLayout{};  // moved out, not freed by the unref
  av_frame_unref(&frame);
  frame.format = format;
  frame.sample_rate = rate;
  frame.nb_samples = samples;
  frame.ch_layout = layout;
}

}  // namespace

// Packets in; out, the frames decoded from them, each with its samples converted to the
// segment's target format where a worker may.
class SegmentedDecoder::Segment final : public WorkerJob {
 public:
  // A decoded frame, holding its own reference; once a worker has converted it, its samples
  // and the frame's shape alone.
  struct Decoded {
    FrameHandle frame;
    ComPtr<SampleBuffer> converted;
  };

  Segment(SharedCodecContexts decoders, std::shared_ptr<RecycledBlocks> blocks)
      : decoders_(std::move(decoders)), blocks_(std::move(blocks)) {}

  // Empties the segment for decoding by `decoder`, or by the worker's own from a clean start
  // when null, and for `target`.
  void Reset(SharedCodecContext decoder, std::optional<PcmFormat> target) {
    ClearFrames();
    packets.clear();
    decoder_ = std::move(decoder);
    target_ = target;
    preRoll = 0;
    ownBytes = 0;
    last = false;
    result = S_OK;
  }

  // Whether the segment is decoded by the stream's own decoder from its very start.
  bool onStreamDecoder() const { return decoder_ != nullptr; }

  HRESULT Run(unsigned worker) override {
    if (decoder_ != nullptr) return Decode(*decoder_);
    AVCodecContext& decoder = *(*decoders_)[worker];
    avcodec_flush_buffers(&decoder);
    return Decode(decoder);
  }

  // Decodes the packets with `decoder` again, leaving every frame unconverted.
  HRESULT DecodeUnconverted(AVCodecContext& decoder) {
    ClearFrames();
    target_.reset();
    return Decode(decoder);
  }

  std::vector<PacketHandle> packets;  // the early start first; kept until the segment is reused
  std::size_t preRoll = 0;            // packets whose audio is dropped
  std::size_t ownBytes = 0;
  bool last = false;  // drains the decoder after its packets
  const std::optional<PcmFormat>& target() const { return target_; }
  std::size_t frames() const { return frames_; }
  Decoded& decoded(std::size_t k) { return decoded_[k]; }

 private:
  void ClearFrames() {
    for (std::size_t k = 0; k < frames_; ++k) {
      av_frame_unref(decoded_[k].frame.get());
      decoded_[k].converted.reset();
    }
    frames_ = 0;
  }

  HRESULT Decode(AVCodecContext& decoder) {
    for (std::size_t i = 0; i < packets.size(); ++i) {
      // A damaged packet is refused with an error and simply not decoded; memory is no damage.
      if (avcodec_send_packet(&decoder, packets[i].get()) == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
      RETURN_IF_FAILED(Collect(decoder, i >= preRoll));
    }
    if (!last) return S_OK;
    avcodec_send_packet(&decoder, nullptr);
    return Collect(decoder, true);
  }

  // Takes every frame the decoder has now, as the single decoder's reader does: it stops at
  // the first that does not come (more input wanted, the end, or a frame that did not decode).
  HRESULT Collect(AVCodecContext& decoder, bool keep) {
    for (;;) {
      if (!next_) next_.reset(av_frame_alloc());
      if (!next_) return E_OUTOFMEMORY;
      const int received = avcodec_receive_frame(&decoder, next_.get());
      if (received == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
      if (received < 0) return S_OK;
      if (keep)
        RETURN_IF_FAILED(Keep());
      else
        av_frame_unref(next_.get());
    }
  }

  // Keeps next_ as the next decoded frame, converting it where the worker may.
  HRESULT Keep() {
    if (frames_ == decoded_.size()) {
      FrameHandle frame(av_frame_alloc());
      if (!frame) return E_OUTOFMEMORY;
      decoded_.push_back(Decoded{std::move(frame), nullptr});
    }
    Decoded& kept = decoded_[frames_++];
    AVFrame& frame = *kept.frame;
    av_frame_move_ref(&frame, next_.get());
    if (!target_ || !PcmConverter::Stateless(frame, *target_) ||
        !converter_.Configure(frame, *target_))
      return S_OK;
    // Nothing is carried between frames here, so every sample comes out at once.
    const HRESULT made = converter_.Convert(&frame, kept.converted, blocks_);
    if (FAILED(made)) return made;
    if (made != S_OK || kept.converted->length() != target_->FrameBytes() * frame.nb_samples)
      return E_UNEXPECTED;
    KeepShapeOnly(frame);
    return S_OK;
  }

  SharedCodecContexts decoders_;
  std::shared_ptr<RecycledBlocks> blocks_;  // what converted samples are made in
  SharedCodecContext decoder_;
  std::optional<PcmFormat> target_;
  PcmConverter converter_;
  FrameHandle next_;  // the frame the decoder gives next
  // The frames kept, the first frames_ of them: their AVFrames are used again from segment to
  // segment.
  std::vector<Decoded> decoded_;
  std::size_t frames_ = 0;
};

std::unique_ptr<SegmentedDecoder> SegmentedDecoder::Start(SharedCodecContext decoder,
                                                          unsigned threads,
                                                          const PcmFormat& format) {
  CodecParametersHandle parameters(avcodec_parameters_alloc());
  if (!parameters || avcodec_parameters_from_context(parameters.get(), decoder.get()) < 0)
    return nullptr;
  std::vector<CodecContextHandle> decoders;
  if (threads > 1 && DecodesInSegments(*decoder)) {
    for (unsigned i = 0; i < threads; ++i) {
      decoders.push_back(OpenDecoder(*decoder->codec, *parameters, decoder->pkt_timebase, true));
      if (!decoders.back()) break;
    }
    if (decoders.size() < threads || !decoders.back()) decoders.clear();  // in one piece after all
  }
  const unsigned workers = decoders.empty() ? 1 : threads;
  auto shared = std::make_shared<const std::vector<CodecContextHandle>>(std::move(decoders));
  std::unique_ptr<SegmentedDecoder> segmented(new (std::nothrow) SegmentedDecoder(
      std::move(decoder), std::move(shared), std::move(parameters), workers, format));
  if (!segmented || segmented->pool_.threads() == 0) return nullptr;
  return segmented;
}

SegmentedDecoder::SegmentedDecoder(SharedCodecContext decoder, SharedCodecContexts decoders,
                                   CodecParametersHandle parameters, unsigned threads,
                                   const PcmFormat& format)
    : decoder_(std::move(decoder)),
      codec_(decoder_->codec),
      timebase_(decoder_->pkt_timebase),
      parameters_(std::move(parameters)),
      decoders_(std::move(decoders)),
      format_(format),
      segmentBytes_(decoder_->bit_rate / 8 * kSegmentSeconds),
      reservoir_((CodingFlags(*decoder_) & kBitReservoir) != 0),
      blockAlign_(decoder_->block_align),
      blocks_(std::make_shared<RecycledBlocks>()),
      pool_(threads) {}

SegmentedDecoder::~SegmentedDecoder() = default;

bool SegmentedDecoder::StartsAfresh(const AVPacket& packet) const {
  if (!reservoir_) return true;
  // A packet the decoder refuses as short leaves it where it was.
  return packet.size >= blockAlign_ && (packet.data[0] & 0x0F) >= 2;
}

bool SegmentedDecoder::Full(const Segment& segment) const {
  const std::size_t own = segment.packets.size() - segment.preRoll;
  if (own >= kMaxSegmentPackets) return true;
  if (!decoders_->empty() && (own < kMinParallelPackets || !StartsAfresh(*segment.packets.back())))
    return false;
  return segmentBytes_ > 0 && static_cast<int64_t>(segment.ownBytes) >= segmentBytes_;
}

std::unique_ptr<SegmentedDecoder::Segment> SegmentedDecoder::NextSegment(const Segment* before) {
  std::unique_ptr<Segment> segment;
  if (spares_.empty()) {
    segment.reset(new (std::nothrow) Segment(decoders_, blocks_));
    if (!segment) return nullptr;
  } else {
    segment = std::move(spares_.back());
    spares_.pop_back();
  }
  // The first segment, and every one of a stream decoded in one piece, goes to the stream's
  // own decoder, which then runs on from where it is.
  const bool own = decoders_->empty() || before == nullptr;
  // A stream decoded in one piece is converted by the reader: this is no place to start again.
  segment->Reset(own ? decoder_ : nullptr,
                 decoders_->empty() ? std::nullopt : std::optional<PcmFormat>(format_));
  if (own) return segment;
  const auto& packets = before->packets;
  // No further back than a segment's packets, so that a stream in which no packet starts
  // afresh costs no more than twice the work.
  const std::size_t lowest =
      packets.size() > kMaxSegmentPackets ? packets.size() - kMaxSegmentPackets : 0;
  std::size_t start = packets.size();
  while (start > lowest && !StartsAfresh(*packets[--start])) {
  }
  const std::size_t early = packets.size() - start;
  for (std::size_t i = packets.size() - early; i < packets.size(); ++i) {
    PacketHandle packet(av_packet_clone(packets[i].get()));
    if (!packet) return nullptr;
    segment->packets.push_back(std::move(packet));
  }
  segment->preRoll = early;
  return segment;
}

void SegmentedDecoder::Send(AVPacket* packet) {
  if (ended_ || outOfMemory_) return;
  if (!filling_) {
    // The first packet, or the end of a stream without one: the end still drains the stream's
    // decoder, as one decoder is drained.
    filling_ = NextSegment(nullptr);
    outOfMemory_ = !filling_;
  } else if (packet != nullptr && Full(*filling_)) {
    // A full segment is handed over when the next packet comes, so that the last one is
    // always at hand for the end.
    std::unique_ptr<Segment> next = NextSegment(filling_.get());
    pool_.Submit(std::move(filling_));
    filling_ = std::move(next);
    outOfMemory_ = !filling_;
  }
  if (outOfMemory_) return;
  if (packet == nullptr) {
    ended_ = true;
    filling_->last = true;
    pool_.Submit(std::move(filling_));
    return;
  }
  PacketHandle kept(av_packet_alloc());
  outOfMemory_ = !kept;
  if (outOfMemory_) return;
  filling_->ownBytes += static_cast<std::size_t>(packet->size);
  av_packet_move_ref(kept.get(), packet);
  filling_->packets.push_back(std::move(kept));
}

void SegmentedDecoder::SetFormat(const PcmFormat& format) { format_ = format; }

HRESULT SegmentedDecoder::DecodeAgain() {
  // The start the worker had: a new decoder is as clean as a flushed one, and the first
  // segment's decoder keeps the trim of the stream's first samples.
  CodecContextHandle decoder =
      OpenDecoder(*codec_, *parameters_, timebase_, !delivering_->onStreamDecoder());
  if (!decoder) return E_OUTOFMEMORY;
  const std::size_t frames = delivering_->frames();
  RETURN_IF_FAILED(delivering_->DecodeUnconverted(*decoder));
  return delivering_->frames() == frames ? S_OK : E_UNEXPECTED;
}

HRESULT SegmentedDecoder::Receive(const PcmFormat& format, AVFrame& frame,
                                  ComPtr<SampleBuffer>& converted) {
  converted.reset();
  for (;;) {
    if (delivering_ && nextFrame_ < delivering_->frames()) {
      if (delivering_->decoded(nextFrame_).converted && delivering_->target() != format)
        RETURN_IF_FAILED(DecodeAgain());
      Segment::Decoded& next = delivering_->decoded(nextFrame_++);
      av_frame_move_ref(&frame, next.frame.get());
      converted = std::move(next.converted);
      return S_OK;
    }
    if (delivering_) spares_.push_back(std::move(delivering_));
    if (outOfMemory_) return E_OUTOFMEMORY;
    if (pool_.InFlight() == 0) return ended_ ? NS_E_NO_MORE_SAMPLES : S_FALSE;
    // More packets first while there is room, so that every worker has a segment while this
    // one is delivered; otherwise wait for the oldest.
    if (!ended_ && pool_.InFlight() <= pool_.threads()) return S_FALSE;
    delivering_ = pool_.TakeOldest<Segment>();
    nextFrame_ = 0;
    if (FAILED(delivering_->result)) {
      const HRESULT failed = delivering_->result;
      spares_.push_back(std::move(delivering_));
      return failed;
    }
  }
}

}  // namespace wmvcore
