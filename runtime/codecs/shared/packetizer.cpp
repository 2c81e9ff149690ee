#include "codecs/shared/packetizer.h"

#include <algorithm>

namespace wmvcore {

namespace {

// After the last frame the decoder reads the last packet's filling as one more frame: a length,
// then ones that claim more than the decoder accepts, which it refuses. Filling too short for
// that is followed by a packet of ones, taken as the rest of that frame.
constexpr uint64_t kRefusedFrameBits = 32;

// The bits a packet's stream keeps behind it before it drops them: often enough that memory
// stays flat, seldom enough that the copying costs nothing.
constexpr uint64_t kKeptBits = 8 * 65536;

}  // namespace

Packetizer::Packetizer(const PacketLayout& layout, uint64_t firstBit)
    : packetBits_(layout.packetBytes * 8),
      countField_(layout.carriedBitsField),
      readsFillingAsFrame_(layout.readsFillingAsFrame),
      keepsFramesInsidePackets_(layout.keepsFramesInsidePackets),
      dataBits_(PacketDataBits(layout)),
      base_(firstBit),
      consumed_(firstBit) {}

void Packetizer::FillPacket() {
  for (uint64_t left = dataBits_ - (end() - consumed_); left > 0;) {
    const auto fill = std::min<uint64_t>(32, left);
    stream_.Put(0xFFFFFFFFu, static_cast<int>(fill));
    left -= fill;
  }
}

void Packetizer::Release(bool last) {
  // A frame that another follows and that ends exactly at a packet's end leaves the decoder
  // waiting for more of that packet: it takes the next packet's header for frame bits. Such a
  // frame starts in the next packet instead, after ones that the decoder passes over; shorter
  // than a packet's data, it ends inside that packet.
  const uint64_t filled = end() - consumed_;
  if (keepsFramesInsidePackets_ && !last && filled > 0 && filled + held_.bits() == dataBits_)
    FillPacket();
  const uint64_t start = end();
  stream_.Append(held_, 0, held_.bits() - 1);
  stream_.Put(last ? 0 : 1, 1);
  frames_.push_back({start, end(), heldSeekable_});
  holding_ = false;
}

bool Packetizer::Add(const uint8_t* frame, uint64_t bits, bool seekable, PacketOut& out) {
  if (bits == 0 || (keepsFramesInsidePackets_ && bits >= dataBits_)) return false;
  if (holding_) Release(false);
  held_.Clear();
  held_.Append(frame, 0, bits);
  heldSeekable_ = seekable;
  holding_ = true;
  return WriteFull(out);
}

bool Packetizer::WriteFull(PacketOut& out) {
  while (end() - consumed_ >= dataBits_)
    if (!WritePacket(false, out)) return false;
  return true;
}

bool Packetizer::WritePacket(bool fillOnly, PacketOut& out) {
  const uint64_t begin = consumed_;
  const uint64_t available = std::min(dataBits_, end() - begin);
  uint64_t carried = fillOnly ? dataBits_ : 0;
  bool seekable = false;
  for (const Mark& frame : frames_) {
    if (frame.start < begin && frame.end > begin) carried = std::min(frame.end - begin, dataBits_);
    if (frame.start >= begin && frame.start < begin + dataBits_ && frame.seekable) seekable = true;
  }
  packet_.Clear();
  packet_.Put(static_cast<uint32_t>(packets_ & 0xF), 4);
  packet_.Put(seekable ? 1 : 0, 1);
  packet_.Put(0, 1);  // not spliced
  packet_.Put(static_cast<uint32_t>(carried), countField_);
  packet_.Append(stream_, begin - base_, available);
  while (packet_.bits() < static_cast<uint64_t>(packetBits_)) {
    const auto fill = std::min<uint64_t>(32, packetBits_ - packet_.bits());
    packet_.Put(0xFFFFFFFFu, static_cast<int>(fill));
  }
  consumed_ = begin + available;
  while (!frames_.empty() && frames_.front().end <= consumed_) {
    frames_.pop_front();
    ++framesDone_;
  }
  // Keep only the bits still to come.
  if (consumed_ - base_ >= kKeptBits || consumed_ == end()) {
    BitWriter rest;
    rest.Append(stream_, consumed_ - base_, end() - consumed_);
    stream_ = std::move(rest);
    base_ = consumed_;
  }
  ++packets_;
  bytes_ = packet_.bytes();
  return out.Put(bytes_);
}

bool Packetizer::Finish(PacketOut& out) {
  if (holding_) Release(true);
  if (!WriteFull(out)) return false;
  const uint64_t left = end() - consumed_;
  if (left == 0) return true;
  if (!WritePacket(false, out)) return false;
  const uint64_t filling = dataBits_ - left;
  if (readsFillingAsFrame_ && filling < static_cast<uint64_t>(countField_) + kRefusedFrameBits)
    return WritePacket(true, out);
  return true;
}

}  // namespace wmvcore
