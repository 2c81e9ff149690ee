#include "codecs/shared/bit_writer.h"

#include <algorithm>

namespace wmvcore {

namespace {

uint32_t Mask(int count) { return count >= 32 ? ~0u : (1u << count) - 1; }

// Up to 32 bits of `bytes` from bit `index` on, as a number.
uint32_t Read(const uint8_t* bytes, uint64_t index, int count) {
  const uint64_t firstByte = index / 8;
  const uint64_t lastByte = (index + static_cast<uint64_t>(count) - 1) / 8;
  uint64_t window = 0;  // at most five bytes
  for (uint64_t byte = firstByte; byte <= lastByte; ++byte) window = (window << 8) | bytes[byte];
  const int below = static_cast<int>((lastByte + 1) * 8 - index) - count;
  return static_cast<uint32_t>(window >> below) & Mask(count);
}

}  // namespace

void BitWriter::Put(uint32_t value, int count) {
  if (count <= 0) return;
  value &= Mask(count);
  const int used = static_cast<int>(bits_ % 8);
  bits_ += static_cast<uint64_t>(count);
  if (used != 0) {
    const int take = std::min(8 - used, count);
    count -= take;
    bytes_.back() = static_cast<uint8_t>(bytes_.back() | (value >> count) << (8 - used - take));
  }
  while (count >= 8) {
    count -= 8;
    bytes_.push_back(static_cast<uint8_t>(value >> count));
  }
  if (count > 0) bytes_.push_back(static_cast<uint8_t>(value << (8 - count)));
}

void BitWriter::PutUnary(uint32_t ones) {
  for (; ones >= 32; ones -= 32) Put(~0u, 32);
  Put(Mask(static_cast<int>(ones)) << 1, static_cast<int>(ones) + 1);
}

void BitWriter::Append(const uint8_t* bytes, uint64_t first, uint64_t count) {
  if (count == 0) return;
  if (first % 8 == 0 && bits_ % 8 == 0) {
    // Both on byte boundaries: whole bytes copied, then what is left of the last.
    const uint64_t whole = count / 8;
    bytes_.insert(bytes_.end(), bytes + first / 8, bytes + first / 8 + whole);
    bits_ += whole * 8;
    first += whole * 8;
    count -= whole * 8;
  }
  while (count > 0) {
    const int chunk = count >= 32 ? 32 : static_cast<int>(count);
    Put(Read(bytes, first, chunk), chunk);
    first += static_cast<uint64_t>(chunk);
    count -= static_cast<uint64_t>(chunk);
  }
}

}  // namespace wmvcore
