// Bits written most significant first, as the format reads them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wmvcore::wmav2 {

class BitWriter {
 public:
  // Writes the low `bits` bits of `value` (at most 32), a byte's worth at a time.
  void Put(uint32_t value, int bits) {
    while (bits > 0) {
      const int used = static_cast<int>(count_ % 8);
      if (used == 0) bytes_.push_back(0);
      const int take = std::min(8 - used, bits);
      const uint32_t chunk = (value >> (bits - take)) & ((1u << take) - 1);
      bytes_.back() = static_cast<uint8_t>(bytes_.back() | chunk << (8 - used - take));
      count_ += static_cast<std::size_t>(take);
      bits -= take;
    }
  }
  void PutBit(uint32_t bit) { Put(bit & 1, 1); }
  // Appends the first `bits` bits of `bytes`.
  void Append(const std::vector<uint8_t>& bytes, std::size_t bits) { Append(bytes, 0, bits); }
  // Appends bits `from` up to `to` of `bytes`.
  void Append(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t to) {
    std::size_t at = from;
    if (at < to && at % 8 != 0) {
      const int take = static_cast<int>(std::min(8 - at % 8, to - at));
      const int shift = static_cast<int>(8 - at % 8) - take;
      Put(static_cast<uint32_t>(bytes[at / 8] >> shift) & ((1u << take) - 1), take);
      at += static_cast<std::size_t>(take);
    }
    for (; at + 8 <= to; at += 8) Put(bytes[at / 8], 8);
    if (at < to) {
      const int take = static_cast<int>(to - at);
      Put(static_cast<uint32_t>(bytes[at / 8] >> (8 - take)), take);
    }
  }
  void Clear() {
    bytes_.clear();
    count_ = 0;
  }
  std::size_t bits() const { return count_; }
  // The bits written, the last byte filled with zero bits.
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t count_ = 0;
};

}  // namespace wmvcore::wmav2
