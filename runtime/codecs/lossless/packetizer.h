// Lays coded frames into packets of one fixed size. Frames (each behind its length, see
// frame_coder.h) run on from packet to packet with no gap; each packet starts with a header (a
// sequence number, whether a seekable frame starts in it, and how many of its bits end the
// frame begun before it). The last bit of every frame says whether another follows: the
// packetizer clears it in the stream's last frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "codecs/lossless/frame_coder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/shared/bit_writer.h"

namespace wmvcore::lossless {

class PacketOut {
 public:
  // One whole packet; false stops the encoding.
  virtual bool Put(const std::vector<uint8_t>& packet) = 0;

 protected:
  ~PacketOut() = default;
};

class Packetizer {
 public:
  explicit Packetizer(const StreamFormat& format);
  // Packets of `packetBytes`, whose counts of carried bits are `countField` bits wide; with
  // `fillAfterLast`, a packet of ones follows a last packet too short to end in a refused frame.
  Packetizer(int packetBytes, int countField, bool fillAfterLast);

  // Takes a frame (held until the next shows it is not the last) and writes the packets that
  // fill.
  bool Add(const CodedFrame& frame, PacketOut& out);
  // Ends the stream: the last frame and the last packet, filled.
  bool Finish(PacketOut& out);

  uint64_t packets() const { return packets_; }
  // Frames whose last bit is in a packet written.
  uint64_t framesDone() const { return framesDone_; }

 private:
  void Release(bool last);
  bool WriteFull(PacketOut& out);
  // With `fillOnly`, a packet of ones that the decoder takes as the rest of a frame.
  bool WritePacket(bool fillOnly, PacketOut& out);

  int packetBits_;
  int countField_;  // the bits of a packet's count of carried bits
  bool fillAfterLast_;
  uint64_t dataBits_;
  CodedFrame held_;  // the frame waiting to be known the last or not
  bool holding_ = false;
  // Positions count bits from the stream's start; stream_ holds them from base_ on.
  BitWriter stream_;
  uint64_t base_ = 0;
  uint64_t consumed_ = 0;  // bits already in packets
  struct Mark {
    uint64_t start;
    uint64_t end;
    bool seekable;
  };
  std::deque<Mark> frames_;  // frames with bits not yet in a packet
  uint64_t packets_ = 0;
  uint64_t framesDone_ = 0;
  std::vector<uint8_t> packet_;
};

}  // namespace wmvcore::lossless
