#include "codecs/lossless/encoder.h"

namespace wmvcore::lossless {

namespace {

// Passes each packet to the check before the output.
class CheckedOut final : public PacketOut {
 public:
  CheckedOut(DecodeCheck* check, PacketOut& out, std::string& failure)
      : check_(check), out_(out), failure_(failure) {}
  bool Put(const std::vector<uint8_t>& packet) override {
    if (check_ && !check_->Check(packet)) {
      failure_ = check_->failure();
      return false;
    }
    return out_.Put(packet);
  }

 private:
  DecodeCheck* check_;
  PacketOut& out_;
  std::string& failure_;
};

}  // namespace

Encoder::Encoder(const StreamFormat& format)
    : format_(format),
      segmentLength_(SamplesPerFrame(format) * kFramesPerSegment),
      coder_(FrameCoder::Create(format)),
      packets_(PacketLayoutOf(format)),
      segment_(static_cast<std::size_t>(format.channels)),
      planes_(static_cast<std::size_t>(format.channels)) {
  for (std::size_t c = 0; c < segment_.size(); ++c) {
    segment_[c].resize(static_cast<std::size_t>(segmentLength_));
    planes_[c] = segment_[c].data();
  }
}

std::unique_ptr<Encoder> Encoder::Create(const StreamFormat& format, bool verify) {
  if (!IsEncodable(format)) return nullptr;
  std::unique_ptr<Encoder> encoder(new Encoder(format));
  if (verify) {
    encoder->check_ = DecodeCheck::Open(format);
    if (!encoder->check_) return nullptr;
  }
  return encoder;
}

bool Encoder::Write(const int32_t* interleaved, std::size_t frames, PacketOut& out) {
  if (check_) check_->Expect(interleaved, frames);
  const auto channels = static_cast<std::size_t>(format_.channels);
  while (frames > 0) {
    const std::size_t take = std::min(frames, static_cast<std::size_t>(segmentLength_ - filled_));
    for (std::size_t i = 0; i < take; ++i)
      for (std::size_t c = 0; c < channels; ++c)
        segment_[c][static_cast<std::size_t>(filled_) + i] = interleaved[i * channels + c];
    filled_ += static_cast<int>(take);
    interleaved += take * channels;
    frames -= take;
    if (filled_ == segmentLength_ && !CodeSegment(out)) return false;
  }
  return true;
}

bool Encoder::CodeSegment(PacketOut& out) {
  coder_->CodeSegment(planes_.data(), filled_, frames_);
  filled_ = 0;
  CheckedOut checked(check_.get(), out, failure_);
  for (const CodedFrame& frame : frames_)
    if (!packets_.Add(frame.bits.bytes().data(), frame.bits.bits(), frame.seekable, checked))
      return false;
  return true;
}

bool Encoder::Finish(PacketOut& out) {
  if (filled_ > 0 && !CodeSegment(out)) return false;
  CheckedOut checked(check_.get(), out, failure_);
  if (!packets_.Finish(checked)) return false;
  if (check_ && !check_->Finish()) {
    failure_ = check_->failure();
    return false;
  }
  return true;
}

}  // namespace wmvcore::lossless
