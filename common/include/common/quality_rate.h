// A quality-based variable-rate format gives its quality (1 to 100) where a constant-rate one
// gives its average rate: nAvgBytesPerSec is 0x7FFFFF00 plus the quality, as the media
// runtime's audio encoders mark such formats. The runtime writes the mark; the host reads it.
#pragma once

#include <optional>

#include <windows.h>

inline constexpr DWORD kQualityRateMark = 0x7FFFFF00;

inline DWORD QualityRate(int quality) { return kQualityRateMark | static_cast<DWORD>(quality); }

// Whether the average rate is the mark, whatever quality it gives.
inline bool IsQualityMarked(DWORD avgBytesPerSec) {
  return (avgBytesPerSec & ~DWORD{0xFF}) == kQualityRateMark;
}

inline std::optional<int> QualityOfRate(DWORD avgBytesPerSec) {
  const int quality = static_cast<int>(avgBytesPerSec & 0xFF);
  if (!IsQualityMarked(avgBytesPerSec) || quality < 1 || quality > 100) return std::nullopt;
  return quality;
}
