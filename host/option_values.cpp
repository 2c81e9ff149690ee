#include "option_values.h"

#include <cstdint>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The value of one digit in the base, or -1.
int DigitValue(char c, unsigned base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseOptionNumber(const std::string& text, DWORD& value) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  unsigned base = 10;
  if (end - begin > 2 && text[begin] == '0' && (text[begin + 1] == 'x' || text[begin + 1] == 'X')) {
    base = 16;
    begin += 2;
  } else if (end - begin > 1 && text[begin] == '0') {
    return false;
  }
  if (begin == end) return false;
  std::uint64_t number = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    number = number * base + static_cast<unsigned>(digit);
    if (number > 0xFFFFFFFFull) return false;
  }
  value = static_cast<DWORD>(number);
  return true;
}
