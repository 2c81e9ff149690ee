#include "codecs/lossless/packetizer.h"

#include <algorithm>

namespace wmvcore::lossless {

namespace {

// After the last frame the decoder reads the last packet's filling as one more frame: a length,
// then ones that claim to drop more samples than a frame holds, which it refuses. Filling too
// short for that is followed by a packet of ones, taken as the rest of that frame.
constexpr uint64_t kRefusedFrameBits = 32;

}  // namespace

Packetizer::Packetizer(const StreamFormat& format)
    : Packetizer(PacketBytes(format), CarriedBitsField(format), true) {}

Packetizer::Packetizer(int packetBytes, int countField, bool fillAfterLast)
    : packetBits_(packetBytes * 8),
      countField_(countField),
      fillAfterLast_(fillAfterLast),
      dataBits_(static_cast<uint64_t>(packetBits_ - (4 + 1 + 1 + countField_))) {}

void Packetizer::Release(bool last) {
  const uint64_t start = base_ + stream_.bits();
  const uint64_t bits = held_.bits.bits();
  stream_.Append(held_.bits, 0, bits - 1);
  stream_.Put(last ? 0 : 1, 1);
  frames_.push_back({start, base_ + stream_.bits(), held_.seekable});
  holding_ = false;
}

bool Packetizer::Add(const CodedFrame& frame, PacketOut& out) {
  if (holding_) Release(false);
  held_.bits.Clear();
  held_.bits.Append(frame.bits, 0, frame.bits.bits());
  held_.seekable = frame.seekable;
  holding_ = true;
  return WriteFull(out);
}

bool Packetizer::WriteFull(PacketOut& out) {
  while (base_ + stream_.bits() - consumed_ >= dataBits_)
    if (!WritePacket(false, out)) return false;
  return true;
}

bool Packetizer::WritePacket(bool fillOnly, PacketOut& out) {
  const uint64_t begin = consumed_;
  const uint64_t available = std::min(dataBits_, base_ + stream_.bits() - begin);
  uint64_t carried = fillOnly ? dataBits_ : 0;
  bool seekable = false;
  for (const Mark& frame : frames_) {
    if (frame.start < begin && frame.end > begin) carried = std::min(frame.end - begin, dataBits_);
    if (frame.start >= begin && frame.start < begin + dataBits_ && frame.seekable) seekable = true;
  }
  BitWriter packet;
  packet.Put(static_cast<uint32_t>(packets_ & 0xF), 4);
  packet.Put(seekable ? 1 : 0, 1);
  packet.Put(0, 1);  // not spliced
  packet.Put(static_cast<uint32_t>(carried), countField_);
  packet.Append(stream_, begin - base_, available);
  while (packet.bits() < static_cast<uint64_t>(packetBits_)) {
    const auto fill = std::min<uint64_t>(32, packetBits_ - packet.bits());
    packet.Put(0xFFFFFFFFu, static_cast<int>(fill));
  }
  consumed_ = begin + available;
  while (!frames_.empty() && frames_.front().end <= consumed_) {
    frames_.pop_front();
    ++framesDone_;
  }
  // Keep only the bits still to come.
  if (consumed_ - base_ >= 8 * 65536 || consumed_ == base_ + stream_.bits()) {
    BitWriter rest;
    rest.Append(stream_, consumed_ - base_, base_ + stream_.bits() - consumed_);
    stream_ = std::move(rest);
    base_ = consumed_;
  }
  ++packets_;
  packet_ = packet.bytes();
  return out.Put(packet_);
}

bool Packetizer::Finish(PacketOut& out) {
  if (holding_) Release(true);
  if (!WriteFull(out)) return false;
  const uint64_t left = base_ + stream_.bits() - consumed_;
  if (left == 0) return true;
  if (!WritePacket(false, out)) return false;
  const uint64_t filling = dataBits_ - left;
  if (fillAfterLast_ && filling < static_cast<uint64_t>(countField_) + kRefusedFrameBits)
    return WritePacket(true, out);
  return true;
}

}  // namespace wmvcore::lossless
