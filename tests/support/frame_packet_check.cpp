#include "support/frame_packet_check.h"

#include <algorithm>

#include "codecs/shared/bit_writer.h"

namespace test_support {

using wmvcore::BitWriter;
using wmvcore::PacketDataBits;
using wmvcore::PacketHeaderBits;

namespace {

uint32_t BitsAt(const std::vector<uint8_t>& bytes, uint64_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i, ++at) value = value << 1 | ((bytes[at / 8] >> (7 - at % 8)) & 1);
  return value;
}

}  // namespace

PacketReport CheckPackets(const std::vector<std::vector<uint8_t>>& packets,
                          const PacketLayout& layout, int skipCountBits) {
  PacketReport report;
  const int field = layout.carriedBitsField;
  const auto packetBits = static_cast<uint64_t>(layout.packetBytes) * 8;
  const uint64_t dataBits = PacketDataBits(layout);
  const uint32_t filling = (1u << field) - 1;
  BitWriter frame;          // the frame being read
  uint64_t declared = 0;    // its length; 0 while its length field is not yet whole
  std::size_t started = 0;  // the packet it started in
  bool ended = false;       // a frame said that none follows
  std::vector<bool> seekableStarts(packets.size(), false);
  auto fail = [&](std::size_t p, const std::string& what) {
    if (report.fault.empty()) report.fault = "packet " + std::to_string(p) + ": " + what;
  };
  auto finish = [&](std::size_t p) {
    if (frame.bits() != declared) fail(p, "a frame's bits differ from its length");
    ended = frame.BitAt(frame.bits() - 1) == 0;
    if (skipCountBits >= 0) {
      uint64_t at = static_cast<uint64_t>(field) + 1;  // past the length and tiling bit
      if (frame.BitAt(at++)) {                         // samples to drop
        if (frame.BitAt(at++)) at += static_cast<uint64_t>(skipCountBits);
        if (frame.BitAt(at++)) at += static_cast<uint64_t>(skipCountBits);
      }
      if (frame.BitAt(at)) seekableStarts[started] = true;
    }
    ++report.framesEnded[p];
    frame.Clear();
    declared = 0;
  };
  for (std::size_t p = 0; p < packets.size(); ++p) {
    const std::vector<uint8_t>& packet = packets[p];
    report.framesEnded.push_back(0);
    if (packet.size() != static_cast<std::size_t>(layout.packetBytes)) fail(p, "wrong size");
    if (!report.fault.empty()) break;
    if (BitsAt(packet, 0, 4) != (p & 15)) fail(p, "sequence number out of order");
    if (BitsAt(packet, 5, 1) != 0) fail(p, "spliced");
    const uint64_t carried = BitsAt(packet, 6, field);
    uint64_t at = static_cast<uint64_t>(PacketHeaderBits(layout));
    if (ended) {
      // After the last frame only filling: a packet of ones may follow the stream's last.
      for (uint64_t bit = at; bit < packetBits; ++bit)
        if (!BitsAt(packet, bit, 1)) fail(p, "bits after the stream's last frame");
      continue;
    }
    if (frame.bits() > 0) {
      if (carried == 0) fail(p, "a frame begun before is cut off");
      if (carried >= dataBits) fail(p, "a frame carried on ends at the packet's end, or goes on");
      frame.Append(packet.data(), at, carried);
      if (declared == 0 && frame.bits() >= static_cast<uint64_t>(field))
        declared = BitsAt(frame.bytes(), 0, field);
      at += carried;
      finish(p);
    } else if (carried != 0) {
      fail(p, "bits carried with no frame begun before");
    }
    while (at < packetBits && !ended && report.fault.empty()) {
      const uint64_t left = packetBits - at;
      started = p;
      if (left <= static_cast<uint64_t>(field)) {  // a frame whose length the next packet ends
        frame.Append(packet.data(), at, left);
        break;
      }
      declared = BitsAt(packet, at, field);
      if (declared == filling) {  // filling to the packet's end: ones, and nothing carried on
        declared = 0;
        for (uint64_t bit = at; bit < packetBits; ++bit)
          if (!BitsAt(packet, bit, 1)) fail(p, "filling that is not all ones");
        break;
      }
      if (declared == 0 || declared > dataBits)
        fail(p, "a frame of " + std::to_string(declared) + " bits");
      frame.Append(packet.data(), at, std::min(left, declared));
      if (declared > left) break;
      at += declared;
      finish(p);
      // The decoder then waits for more of this packet and reads the next one's header as
      // frame bits.
      if (at == packetBits && !ended) fail(p, "a frame that another follows ends at its end");
    }
    if (p > 0 && !report.fault.empty()) break;
  }
  if (report.fault.empty() && !ended) report.fault = "the stream does not end";
  for (std::size_t p = 0; p < packets.size() && report.fault.empty(); ++p)
    if (skipCountBits >= 0 && BitsAt(packets[p], 4, 1) != seekableStarts[p])
      fail(p, "the seekable bit says otherwise than the frames starting in it");
  return report;
}

}  // namespace test_support
