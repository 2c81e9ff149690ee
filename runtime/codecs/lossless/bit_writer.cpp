#include "codecs/lossless/bit_writer.h"

namespace wmvcore::lossless {

int BitWriter::BitAt(std::size_t index) const {
  const std::size_t whole = bytes_.size() * 8;
  if (index < whole) return (bytes_[index / 8] >> (7 - index % 8)) & 1;
  const int fromEnd = pendingBits_ - 1 - static_cast<int>(index - whole);
  return static_cast<int>((pending_ >> fromEnd) & 1);
}

uint32_t BitWriter::Read(std::size_t index, int count) const {
  if ((index + static_cast<std::size_t>(count) + 7) / 8 <= bytes_.size()) {
    // Inside the whole bytes: a window of up to five of them.
    uint64_t window = 0;
    const std::size_t firstByte = index / 8;
    const std::size_t lastByte = (index + static_cast<std::size_t>(count) - 1) / 8;
    for (std::size_t byte = firstByte; byte <= lastByte; ++byte)
      window = (window << 8) | bytes_[byte];
    const int below = static_cast<int>((lastByte + 1) * 8 - index) - count;
    return static_cast<uint32_t>((window >> below) & Mask(count));
  }
  uint32_t value = 0;
  for (int bit = 0; bit < count; ++bit)
    value = (value << 1) | static_cast<uint32_t>(BitAt(index + static_cast<std::size_t>(bit)));
  return value;
}

void BitWriter::Append(const BitWriter& source, std::size_t first, std::size_t count) {
  while (count > 0) {
    const int chunk = count >= 32 ? 32 : static_cast<int>(count);
    Put(source.Read(first, chunk), chunk);
    first += static_cast<std::size_t>(chunk);
    count -= static_cast<std::size_t>(chunk);
  }
}

std::vector<uint8_t> BitWriter::Bytes() const {
  std::vector<uint8_t> bytes = bytes_;
  if (pendingBits_ > 0) bytes.push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
  return bytes;
}

}  // namespace wmvcore::lossless
