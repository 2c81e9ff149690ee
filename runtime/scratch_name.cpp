#include "scratch_name.h"

#include <atomic>
#include <chrono>

namespace wmvcore {

std::string ScratchLeafName(std::uint64_t processId) {
  static std::atomic<std::uint64_t> calls{0};
  constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::uint64_t value =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (processId << 40) ^ (calls.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  value = (value ^ (value >> 31)) * 0xBF58476D1CE4E5B9ull;  // mixed, so that every bit counts
  value ^= value >> 27;
  std::string name = ".wmvcore-";
  for (int i = 0; i < 6; ++i, value /= 62) name += kDigits[value % 62];
  return name;
}

}  // namespace wmvcore
