// Bits written most significant first, as the lossless decoder reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wmvcore::lossless {

class BitWriter {
 public:
  // The low `count` bits of `value` (count 0 to 32).
  void Put(uint32_t value, int count) {
    if (count == 0) return;
    pending_ = (pending_ << count) | (value & Mask(count));
    pendingBits_ += count;
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      bytes_.push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
  }
  // `count` one bits, then a zero: a unary number.
  void PutUnary(uint32_t ones) {
    for (; ones >= 32; ones -= 32) Put(0xFFFFFFFFu, 32);
    Put((Mask(static_cast<int>(ones)) << 1), static_cast<int>(ones) + 1);
  }
  // Bits `first` to `first + count` of `source`.
  void Append(const BitWriter& source, std::size_t first, std::size_t count);

  std::size_t bits() const { return bytes_.size() * 8 + static_cast<std::size_t>(pendingBits_); }
  // Bit `index` (0 is the first written).
  int BitAt(std::size_t index) const;
  void Clear() {
    bytes_.clear();
    pending_ = 0;
    pendingBits_ = 0;
  }
  // The bytes written, the last one filled with zero bits; the writer stays usable.
  std::vector<uint8_t> Bytes() const;

 private:
  static uint64_t Mask(int count) { return count >= 64 ? ~0ull : (1ull << count) - 1; }
  // Up to 32 bits from `index` on.
  uint32_t Read(std::size_t index, int count) const;

  std::vector<uint8_t> bytes_;
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet in bytes_
  int pendingBits_ = 0;
};

}  // namespace wmvcore::lossless
