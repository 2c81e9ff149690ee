// Runs the host's programs as a person would and collects what they print.
#pragma once

#include <string>
#include <vector>

#include "wave_format.h"

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the command line through the shell, stdout and stderr captured separately.
ProcessResult RunProcess(const std::string& command);

// A fresh empty directory for one test's files.
std::string MakeScratchDirectory(const std::string& name);

// The interleaved 16-bit samples of a WAVE file, or empty when it cannot be read.
std::vector<std::int16_t> ReadPcm16(const std::string& path);

// The tags of a WAVE file as the host reads them.
std::vector<WaveTag> ReadWaveTags(const std::string& path);

// Shell quoting for one argument.
std::string Quote(const std::string& argument);
