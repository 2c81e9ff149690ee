// Bits written most significant first, as the format reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wmvcore::wmav2 {

class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int bit = bits - 1; bit >= 0; --bit) PutBit((value >> bit) & 1);
  }
  void PutBit(uint32_t bit) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
    ++count_;
  }
  // Appends the first `bits` bits of `bytes`.
  void Append(const std::vector<uint8_t>& bytes, std::size_t bits) {
    for (std::size_t i = 0; i < bits; ++i) PutBit((bytes[i / 8] >> (7 - i % 8)) & 1);
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
