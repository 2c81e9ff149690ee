// Writes a RIFF WAVE file: format, tag chunks, then sample data streamed in, with the chunk
// sizes filled in when it is finished. A file that is not finished is removed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wave_format.h"

class WaveWriter {
 public:
  WaveWriter() = default;
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;
  ~WaveWriter();  // removes a file that was not finished

  // Creates the file and writes everything up to the sample data: the format, a "LIST" of
  // type "INFO" with the INFO tags, and the "DISP" chunk.
  bool Create(const std::string& path, const WaveFormat& format, const std::vector<WaveTag>& tags,
              std::string& error);
  bool Write(const std::uint8_t* data, std::size_t bytes, std::string& error);
  // Fills in the sizes and closes the file.
  bool Finish(std::string& error);

 private:
  bool Fail(const char* what, std::string& error);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::uint64_t dataSizeOffset_ = 0;
  std::uint64_t dataBytes_ = 0;
};
