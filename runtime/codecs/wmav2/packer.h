// Superframes: the stream's frames, one continuous run of bits, cut into packets of the
// format's block alignment. Each packet starts with its number (4 bits), how many frames end
// in it (4 bits, one more when no frame runs into it), and how many of its bits finish the
// frame that started in the packet before (the bit offset); the frames follow, and the last
// one may run on into the next packet. The first frame to start in a packet also starts with
// the block sizes before it, where the decoder starts again. Only the stream's last packet is
// padded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "codecs/shared/bit_writer.h"
#include "codecs/stream_encoder.h"
#include "codecs/wmav2/layout.h"

namespace wmvcore::wmav2 {

// Bits of a packet's header.
int PacketHeaderBits(const StreamLayout& layout);

class SuperframePacker final : public PayloadPacker {
 public:
  SuperframePacker(const StreamLayout& layout, std::size_t packetBytes)
      : layout_(layout), packetBytes_(packetBytes) {}

  HRESULT Add(const Payload& frame, PayloadSink& sink) override;
  HRESULT Finish(PayloadSink& sink) override;

 private:
  struct Frame {
    std::vector<uint8_t> bytes;
    uint64_t bits = 0;
    uint8_t blockSizes = 0;  // as the frame's payload gave them
  };
  // Puts the block sizes ahead of the first waiting frame.
  void StartWithSizes();
  // Writes one packet from the frames waiting; at the end, a short one is padded.
  HRESULT WritePacket(PayloadSink& sink);
  uint64_t WaitingBits() const;

  StreamLayout layout_;
  std::size_t packetBytes_;
  std::deque<Frame> waiting_;
  uint64_t placed_ = 0;  // bits of the first waiting frame already in packets
  unsigned packets_ = 0;
  int64_t framesEnded_ = 0;
  BitWriter packet_;
};

}  // namespace wmvcore::wmav2
