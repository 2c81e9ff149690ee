// Open files of the filter, closed through its exports when they go out of scope.
#pragma once

#include <string>
#include <vector>

#include "filter_library.h"
#include "wave_format.h"

// An input file opened with OpenFilterInput.
class FilterInput {
 public:
  explicit FilterInput(const FilterExports& exports) : exports_(exports) {}
  FilterInput(const FilterInput&) = delete;
  FilterInput& operator=(const FilterInput&) = delete;
  ~FilterInput();

  bool Open(const std::string& path);

  FilterHandle handle() const { return handle_; }
  LONG sampleRate() const { return sampleRate_; }
  WORD bitsPerSample() const { return bitsPerSample_; }
  WORD channels() const { return channels_; }
  LONG chunkSize() const { return chunkSize_; }

  // Every tag the filter hands out, in its order; the host owns and frees each block.
  std::vector<WaveTag> ReadTags() const;
  // The filter's two-line codec text, or empty when it reports none.
  std::string CodecText() const;

 private:
  const FilterExports& exports_;
  FilterHandle handle_ = nullptr;
  LONG sampleRate_ = 0;
  WORD bitsPerSample_ = 0;
  WORD channels_ = 0;
  LONG chunkSize_ = 0;
};

// An output file opened with OpenFilterOutput.
class FilterOutput {
 public:
  explicit FilterOutput(const FilterExports& exports) : exports_(exports) {}
  FilterOutput(const FilterOutput&) = delete;
  FilterOutput& operator=(const FilterOutput&) = delete;
  ~FilterOutput() { Close(); }

  bool Open(const std::string& path, LONG sampleRate, WORD bitsPerSample, WORD channels,
            DWORD options);
  void Close();

  FilterHandle handle() const { return handle_; }
  LONG chunkSize() const { return chunkSize_; }

 private:
  const FilterExports& exports_;
  FilterHandle handle_ = nullptr;
  LONG chunkSize_ = 0;
};
