// 64-bit positions in stdio files, on Windows and elsewhere.
#pragma once

#include <cstdint>
#include <cstdio>

inline bool SeekTo(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

inline bool SizeOf(std::FILE* file, std::uint64_t& size) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return false;
  const __int64 end = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(file);
#endif
  if (end < 0) return false;
  size = static_cast<std::uint64_t>(end);
  return true;
}

inline std::uint16_t Little16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}
inline std::uint32_t Little32(const std::uint8_t* bytes) {
  return Little16(bytes) | static_cast<std::uint32_t>(Little16(bytes + 2)) << 16;
}
inline void PutLittle16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutLittle32(std::uint8_t* bytes, std::uint32_t value) {
  PutLittle16(bytes, static_cast<std::uint16_t>(value));
  PutLittle16(bytes + 2, static_cast<std::uint16_t>(value >> 16));
}
