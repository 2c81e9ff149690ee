// Streams a RIFF WAVE file: its format, its tags and its sample data, a block at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wave_format.h"

class WaveReader {
 public:
  WaveReader() = default;
  WaveReader(const WaveReader&) = delete;
  WaveReader& operator=(const WaveReader&) = delete;
  ~WaveReader();

  // Reads the chunk list: the format, the tags wherever they stand, and where the samples are.
  // On failure returns false with a one-line reason in error.
  bool Open(const std::string& path, std::string& error);

  const WaveFormat& format() const { return format_; }
  const std::vector<WaveTag>& tags() const { return tags_; }
  std::uint64_t dataBytes() const { return dataBytes_; }

  // Reads up to bytes of sample data, whole frames only; 0 at the end. A read error, or a file
  // that ends before its audio does, ends the data early and sets failed() and its reason.
  std::size_t Read(std::uint8_t* buffer, std::size_t bytes);
  bool failed() const { return !failure_.empty(); }
  const std::string& failure() const { return failure_; }

 private:
  bool ReadFormat(std::uint32_t size, std::string& error);
  // Where the chunk after one whose body ends at `end` begins.
  std::uint64_t NextChunk(std::uint64_t end, bool padded);
  bool ChunkIdAt(std::uint64_t position);
  void ReadInfoList(std::uint64_t start, std::uint32_t size);
  void ReadDisplayChunk(std::uint32_t size);

  std::FILE* file_ = nullptr;
  std::uint64_t fileSize_ = 0;
  WaveFormat format_;
  std::vector<WaveTag> tags_;
  std::uint64_t dataOffset_ = 0;
  std::uint64_t dataBytes_ = 0;
  std::uint64_t dataRead_ = 0;
  std::string failure_;
};
