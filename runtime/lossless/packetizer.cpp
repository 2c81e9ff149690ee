#include "packetizer.h"

#include <algorithm>

namespace wmvcore::lossless {

namespace {

// After the last frame the decoder tries to read one more from the last packet's filling;
// filled with ones, that frame claims to drop more samples than a frame holds and is refused.
// Fewer than this many bits could be read as a short frame, so a packet of ones follows then.
constexpr std::size_t kSafeFillBits = 32;

}  // namespace

Packetizer::Packetizer(const StreamFormat& format)
    : packetBits_(PacketBytes(format) * 8),
      carriedField_(CarriedBitsField(format)),
      headerBits_(4 + 1 + 1 + carriedField_) {}

void Packetizer::Release(bool more) {
  const std::size_t start = base_ + stream_.bits();
  stream_.Append(held_, 0, held_.bits());
  stream_.Put(more ? 1 : 0, 1);
  frames_.push_back({start, base_ + stream_.bits(), heldSeekable_});
  holding_ = false;
}

bool Packetizer::Add(const CodedFrame& frame, PacketOut& out) {
  if (holding_) Release(true);
  held_.Clear();
  held_.Append(frame.bits, 0, frame.bits.bits());
  heldSeekable_ = frame.seekable;
  holding_ = true;
  return WriteFull(out);
}

bool Packetizer::WriteFull(PacketOut& out) {
  const auto dataBits = static_cast<std::size_t>(packetBits_ - headerBits_);
  while (base_ + stream_.bits() - consumed_ >= dataBits)
    if (!WritePacket(dataBits, false, out)) return false;
  return true;
}

bool Packetizer::WritePacket(std::size_t dataBits, bool fillOnly, PacketOut& out) {
  const std::size_t begin = consumed_;
  const std::size_t available = std::min(dataBits, base_ + stream_.bits() - begin);
  std::size_t carried = fillOnly ? dataBits : 0;
  bool seekable = false;
  for (const Mark& frame : frames_) {
    if (frame.start < begin && frame.end > begin) carried = std::min(frame.end - begin, dataBits);
    if (frame.start >= begin && frame.start < begin + dataBits && frame.seekable) seekable = true;
  }
  BitWriter packet;
  packet.Put(static_cast<uint32_t>(packets_ & 0xF), 4);
  packet.Put(seekable ? 1 : 0, 1);
  packet.Put(0, 1);  // not spliced
  packet.Put(static_cast<uint32_t>(carried), carriedField_);
  packet.Append(stream_, begin - base_, available);
  while (packet.bits() < static_cast<std::size_t>(packetBits_)) {
    const auto fill = std::min<std::size_t>(32, packetBits_ - packet.bits());
    packet.Put(0xFFFFFFFFu, static_cast<int>(fill));
  }
  consumed_ = begin + available;
  while (!frames_.empty() && frames_.front().end <= consumed_) frames_.pop_front();
  // Keep only the bits still to come.
  if (consumed_ - base_ >= 8 * 65536 || consumed_ == base_ + stream_.bits()) {
    BitWriter rest;
    rest.Append(stream_, consumed_ - base_, base_ + stream_.bits() - consumed_);
    stream_ = std::move(rest);
    base_ = consumed_;
  }
  ++packets_;
  packet_ = packet.Bytes();
  return out.Put(packet_);
}

bool Packetizer::Finish(PacketOut& out) {
  if (holding_) Release(false);
  if (!WriteFull(out)) return false;
  const auto dataBits = static_cast<std::size_t>(packetBits_ - headerBits_);
  const std::size_t left = base_ + stream_.bits() - consumed_;
  if (left == 0) return true;
  const bool lastStartsHere = !frames_.empty() && frames_.back().start >= consumed_;
  if (!WritePacket(dataBits, false, out)) return false;
  // The filling is read only when the last frame began in an earlier packet.
  if (!lastStartsHere && dataBits - left < kSafeFillBits) return WritePacket(dataBits, true, out);
  return true;
}

}  // namespace wmvcore::lossless
