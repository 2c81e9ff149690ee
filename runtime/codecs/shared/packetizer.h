// The packet layer of the codecs whose frames run on from packet to packet (WMA Lossless, WMA
// Professional): packets of one fixed size, each a header (a 4-bit sequence number, whether a
// seekable frame starts in the packet, whether the stream was spliced there, and how many of its
// bits end the frame begun before it, in a width the format gives) and then frames back to back.
// Every frame starts with its length and ends with a bit that says whether another follows: the
// packetizer clears that bit in the stream's last frame. Positions are 64-bit: a stream's bits
// pass 2^32 within hours of audio, where the 32-bit build's std::size_t would wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "codecs/shared/bit_writer.h"

namespace wmvcore {

struct PacketLayout {
  int packetBytes = 0;       // every packet's size
  int carriedBitsField = 0;  // the bits of a header's count of bits that end the frame before
  // Whether the decoder reads the last packet's filling as one more frame, which must then be
  // one it refuses (Lossless's); Professional's stops at the end bit of the stream's last frame.
  bool readsFillingAsFrame = true;
  // Whether every frame is laid shorter than a packet's data, and one that would end exactly
  // at a packet's end starts in the next packet after ones the decoder passes over
  // (Lossless's decoder drops or misreads such frames); Professional's encoder places its
  // frames itself, longer ones running on over packets.
  bool keepsFramesInsidePackets = true;
};

// The bits of a packet's header.
inline int PacketHeaderBits(const PacketLayout& layout) {
  return 4 + 1 + 1 + layout.carriedBitsField;
}
// The bits of frames a packet holds after its header.
inline uint64_t PacketDataBits(const PacketLayout& layout) {
  return static_cast<uint64_t>(layout.packetBytes) * 8 -
         static_cast<uint64_t>(PacketHeaderBits(layout));
}

class PacketOut {
 public:
  // One whole packet; false stops the encoding.
  virtual bool Put(const std::vector<uint8_t>& packet) = 0;

 protected:
  ~PacketOut() = default;
};

class Packetizer {
 public:
  // `firstBit` is where the stream's positions start counting: 0 for a stream; a test starts
  // them near 2^32 to show that nothing depends on where they stand.
  explicit Packetizer(const PacketLayout& layout, uint64_t firstBit = 0);

  // Takes a frame of `bits` bits (from the top of `frame`'s first byte), held until the next
  // shows it is not the last, and writes the packets that fill. False when `out` refuses a
  // packet, or for a frame as long as a packet's data or longer. Shorter frames make every
  // packet end a frame, so that each has a duration and their time stamps rise, and never leave
  // a frame carried on from a packet before to end exactly at a packet's end, which decoders
  // drop (they take a carried count as long as the packet's data for a frame that goes on).
  bool Add(const uint8_t* frame, uint64_t bits, bool seekable, PacketOut& out);
  // Ends the stream: the last frame and the last packet, filled.
  bool Finish(PacketOut& out);

  uint64_t packets() const { return packets_; }
  // Frames whose last bit is in a packet written.
  uint64_t framesDone() const { return framesDone_; }

 private:
  void Release(bool last);
  // Ones to the end of the packet being filled, which the decoder passes over.
  void FillPacket();
  bool WriteFull(PacketOut& out);
  // With `fillOnly`, a packet of ones that the decoder takes as the rest of a frame.
  bool WritePacket(bool fillOnly, PacketOut& out);
  uint64_t end() const { return base_ + stream_.bits(); }

  int packetBits_;
  int countField_;  // the bits of a packet's count of carried bits
  bool readsFillingAsFrame_;
  bool keepsFramesInsidePackets_;
  uint64_t dataBits_;
  BitWriter held_;  // the frame waiting to be known the last or not
  bool heldSeekable_ = false;
  bool holding_ = false;
  // Positions count bits from the stream's start; stream_ holds them from base_ on.
  BitWriter stream_;
  uint64_t base_;
  uint64_t consumed_;  // bits already in packets
  struct Mark {
    uint64_t start;
    uint64_t end;
    bool seekable;
  };
  std::deque<Mark> frames_;  // frames with bits not yet in a packet
  uint64_t packets_ = 0;
  uint64_t framesDone_ = 0;
  BitWriter packet_;
  std::vector<uint8_t> bytes_;
};

}  // namespace wmvcore
