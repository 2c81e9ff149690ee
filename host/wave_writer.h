// Writes a RIFF WAVE file: format, tag chunks, then sample data streamed in, with the chunk
// sizes filled in when it is finished. The file is written under a scratch name and takes its
// own name only when it is finished; one that is not finished is removed, and an earlier file
// of that name stays as it was. Standard output, a device or a pipe (see RouteOutput) is
// written straight through, its sizes left as unknown (0xFFFFFFFF), as streaming writers leave
// them and readers take them: to the end of the stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "path_checks.h"
#include "scratch_output.h"
#include "wave_format.h"

class WaveWriter {
 public:
  WaveWriter() = default;
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;
  ~WaveWriter();  // removes a file that was not finished

  // Creates the scratch file and writes everything up to the sample data: the format, a
  // "LIST" of type "INFO" with the INFO tags, and the "DISP" chunk.
  bool Create(const std::string& path, const WaveFormat& format, const std::vector<WaveTag>& tags,
              std::string& error);
  bool Write(const std::uint8_t* data, std::size_t bytes, std::string& error);
  // Fills in the sizes, closes the file and gives it its name.
  bool Finish(std::string& error);

  bool toStandardOutput() const { return standardOutput_; }

 private:
  bool Fail(const char* what, std::string& error);
  bool OpenStream(OutputRoute route, std::string& error);
  bool Close();

  std::string path_;
  std::FILE* file_ = nullptr;
  std::optional<ScratchOutput> output_;  // for a file that is replaced as a whole
  bool standardOutput_ = false;
  std::uint64_t dataSizeOffset_ = 0;
  std::uint64_t dataBytes_ = 0;
};
