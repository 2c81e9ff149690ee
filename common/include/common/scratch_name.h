// The name of a scratch file made beside a file it is to replace, for the host and the runtime
// alike.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// Names tried before a scratch file is given up, each taken by another file.
inline constexpr unsigned kScratchAttempts = 100;

// `prefix` and six letters and digits: short, so that it fits wherever the target's name fits,
// and hidden where the prefix starts with a dot. The letters differ from call to call in this
// process (a counter) and, very likely, from those of other processes (the clock and
// `processId`).
inline std::string ScratchLeafName(const char* prefix, std::uint64_t processId) {
  static std::atomic<std::uint64_t> calls{0};
  constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::uint64_t value =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (processId << 40) ^ (calls.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  value = (value ^ (value >> 31)) * 0xBF58476D1CE4E5B9ull;  // mixed, so that every bit counts
  value ^= value >> 27;
  std::string name = prefix;
  for (int i = 0; i < 6; ++i, value /= 62) name += kDigits[value % 62];
  return name;
}
