// Bits written most significant first, as every Windows Media Audio decoder reads them. Bit
// positions and counts are 64-bit: a stream's bits pass 2^32 within hours of audio, and the
// 32-bit build's std::size_t would wrap there.
#pragma once

#include <cstdint>
#include <vector>

namespace wmvcore {

class BitWriter {
 public:
  // The low `count` bits of `value` (count 0 to 32).
  void Put(uint32_t value, int count);
  void PutBit(uint32_t bit) { Put(bit & 1, 1); }
  // `ones` one bits, then a zero: a unary number.
  void PutUnary(uint32_t ones);
  // `count` bits of `source`, from its bit `first` on.
  void Append(const BitWriter& source, uint64_t first, uint64_t count) {
    Append(source.bytes_.data(), first, count);
  }
  // `count` bits of `bytes`, from bit `first` on (bit 0 the top of the first byte).
  void Append(const uint8_t* bytes, uint64_t first, uint64_t count);

  uint64_t bits() const { return bits_; }
  // Bit `index` (0 is the first written).
  int BitAt(uint64_t index) const { return (bytes_[index / 8] >> (7 - index % 8)) & 1; }
  // The bits written, the last byte filled with zero bits.
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  void Clear() {
    bytes_.clear();
    bits_ = 0;
  }

 private:
  std::vector<uint8_t> bytes_;  // the last byte holds bits_ % 8 bits when that is not 0
  uint64_t bits_ = 0;
};

}  // namespace wmvcore
