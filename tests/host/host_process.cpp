#include "host_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "wave_reader.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

std::string Quote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ProcessResult RunProcess(const std::string& command) {
  const std::string base = MakeScratchDirectory("process");
  const std::string out = base + "/out";
  const std::string err = base + "/err";
  const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
  ProcessResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = Slurp(out);
  result.err = Slurp(err);
  std::filesystem::remove_all(base);
  return result;
}

std::string MakeScratchDirectory(const std::string& name) {
  static int serial = 0;
  const std::filesystem::path directory =
      std::filesystem::path(::testing::TempDir()) /
      ("host_tests." + std::to_string(getpid()) + "." + name + "." + std::to_string(++serial));
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  return directory.string();
}

std::vector<std::int16_t> ReadPcm16(const std::string& path) {
  WaveReader reader;
  std::string error;
  if (!reader.Open(path, error) || reader.format().bitsPerSample != 16) return {};
  std::vector<std::int16_t> samples(reader.dataBytes() / 2);
  reader.Read(reinterpret_cast<std::uint8_t*>(samples.data()), samples.size() * 2);
  return samples;
}

std::vector<WaveTag> ReadWaveTags(const std::string& path) {
  WaveReader reader;
  std::string error;
  if (!reader.Open(path, error)) return {};
  return reader.tags();
}
