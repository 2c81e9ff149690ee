#include "codecs/wmav2/packer.h"

#include <algorithm>

#include "base/result.h"

namespace wmvcore::wmav2 {

int PacketHeaderBits(const StreamLayout& layout) { return 4 + 4 + layout.byteOffsetBits + 3; }

HRESULT SuperframePacker::Add(const Payload& frame, PayloadSink& sink) {
  Frame waiting;
  waiting.bits = frame.bits != 0 ? frame.bits : uint64_t{frame.size} * 8;
  if ((waiting.bits + 7) / 8 != frame.size) return E_UNEXPECTED;
  waiting.blockSizes = frame.blockSizes;
  waiting.bytes.assign(frame.data, frame.data + frame.size);
  waiting_.push_back(std::move(waiting));
  // A packet is written once the frames waiting fill it, so that every frame it holds a part
  // of is known.
  while (WaitingBits() >= packetBytes_ * 8) RETURN_IF_FAILED(WritePacket(sink));
  return S_OK;
}

HRESULT SuperframePacker::Finish(PayloadSink& sink) {
  while (!waiting_.empty()) RETURN_IF_FAILED(WritePacket(sink));
  return S_OK;
}

uint64_t SuperframePacker::WaitingBits() const {
  uint64_t bits = 0;
  for (const Frame& frame : waiting_) bits += frame.bits;
  return bits - placed_;
}

void SuperframePacker::StartWithSizes() {
  const int width = layout_.blockSizeBits;
  if (width == 0) return;
  Frame& frame = waiting_.front();
  BitWriter sized;
  sized.Put(frame.blockSizes >> 4, width);
  sized.Put(frame.blockSizes & 15, width);
  sized.Append(frame.bytes.data(), 0, frame.bits);
  frame.bytes = sized.bytes();
  frame.bits = sized.bits();
}

HRESULT SuperframePacker::WritePacket(PayloadSink& sink) {
  const uint64_t capacity = packetBytes_ * 8;
  const int offsetBits = layout_.byteOffsetBits + 3;
  packet_.Clear();
  packet_.Put(packets_++ & 15, 4);
  // The frame count is filled in below, once known.
  packet_.Put(0, 4);
  const bool carried = placed_ > 0;
  uint64_t offset = 0;
  if (carried) offset = waiting_.front().bits - placed_;
  // The coder keeps every frame shorter than the offset field can count, so a frame that ran
  // on from the packet before always ends here.
  if (offset >= (uint64_t{1} << offsetBits)) return E_UNEXPECTED;
  packet_.Put(static_cast<uint32_t>(offset), offsetBits);
  int ending = 0;
  const int64_t firstEnding = framesEnded_;
  if (carried) {
    const Frame& frame = waiting_.front();
    packet_.Append(frame.bytes.data(), placed_, frame.bits - placed_);
    waiting_.pop_front();
    placed_ = 0;
    ++ending;
  }
  if (!waiting_.empty()) StartWithSizes();
  // Whole frames, while they fit and the count can say so (at most 15, one of them the frame
  // the count adds when none ran on into the packet).
  while (!waiting_.empty() && packet_.bits() + waiting_.front().bits <= capacity &&
         ending + (carried ? 0 : 1) < 15) {
    packet_.Append(waiting_.front().bytes.data(), 0, waiting_.front().bits);
    waiting_.pop_front();
    ++ending;
  }
  // The next frame starts in the packet's last bits and runs on into the next packet.
  if (!waiting_.empty() && packet_.bits() < capacity) {
    const Frame& frame = waiting_.front();
    placed_ = std::min(capacity - packet_.bits(), frame.bits);
    if (placed_ == frame.bits) return E_UNEXPECTED;  // it would have fitted whole
    packet_.Append(frame.bytes.data(), 0, placed_);
  }
  framesEnded_ += ending;
  std::vector<uint8_t> bytes = packet_.bytes();
  bytes[0] |= static_cast<uint8_t>(ending + (carried ? 0 : 1));
  // The stream's last packet is padded with zero bits.
  bytes.resize(packetBytes_, 0);
  const int64_t length = layout_.frameLength;
  return sink.Write(Payload{bytes.data(), bytes.size(), firstEnding * length, ending * length});
}

}  // namespace wmvcore::wmav2
