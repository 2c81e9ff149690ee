// A check of our own of the packets of a codec whose frames span packets (WMA Lossless, WMA
// Professional: codecs/shared/packetizer.h), read as a decoder reads them, for the tests of the
// encoders and of the files they save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/shared/packetizer.h"

namespace test_support {

using wmvcore::PacketLayout;

// What a packet check finds: the first fault (empty when none), and the frames each packet ends.
struct PacketReport {
  std::string fault;
  std::vector<int> framesEnded;
};

// Reads the packets of a stream whose frames span packets as a decoder does: every header
// (sequence numbers, not spliced, the carried-bit count against what the frame begun before
// still needs), every frame (its length prefix, no longer than a packet's data, its last bit
// saying whether another follows, and, with `skipCountBits` not negative, its first tile's
// seekable bit against the packet's), and the filling after the last frame (ones).
PacketReport CheckPackets(const std::vector<std::vector<uint8_t>>& packets,
                          const PacketLayout& layout, int skipCountBits);

}  // namespace test_support
