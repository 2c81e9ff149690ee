// Helpers for the runtime's integration tests: the real test files, ffmpeg as an independent
// reference, scratch files, and whole-file decoding through the reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "base/result.h"
#include "common/com_ptr.h"
#include "support/leak_checked_test.h"

namespace runtime_testing {

using Bytes = std::vector<BYTE>;

std::filesystem::path TestFile(const std::string& name);
// UTF-8 text of the tests as UTF-16.
std::u16string Wide(const std::string& text);
// A file name as the plug-in gives it to the runtime: its bytes read in the ANSI code page.
std::u16string WidePath(const std::filesystem::path& path);

// The standard output of a shell command, and whether it exited with 0.
bool RunCommand(const std::string& command, Bytes& output);
// `ffmpeg -i path -f format -` (s16le, s24le): the reference decode.
Bytes FfmpegDecode(const std::filesystem::path& path, const std::string& format);
// What `ffmpeg -v error` says while decoding the file: nothing for a sound one.
std::string FfmpegComplaints(const std::filesystem::path& path);
// Writes `seconds` of a test signal as an ASF file with ffmpeg's own encoder.
void FfmpegEncode(const std::string& source, const std::filesystem::path& target,
                  const std::string& codecOptions);

// A scratch directory removed with everything in it when the test ends.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFile(const std::filesystem::path& path);

struct Pcm {
  DWORD rate = 0;
  WORD channels = 0;
  WORD bits = 0;
  Bytes bytes;
  std::vector<QWORD> times;
};

// A media type read through the size protocol into a block of its own.
struct MediaTypeBlock {
  std::vector<std::max_align_t> storage;
  WM_MEDIA_TYPE* type = nullptr;
  WAVEFORMATEX* wave() const { return reinterpret_cast<WAVEFORMATEX*>(type->pbFormat); }
};
HRESULT ReadMediaType(IWMMediaProps* props, MediaTypeBlock& block);

// Opens `path` with a new reader and checks that output 0 is PCM audio.
HRESULT OpenReader(const std::filesystem::path& path, ComPtr<IWMSyncReader>& reader);
// The format of output 0 (first offered format).
HRESULT OutputFormat(IWMSyncReader* reader, DWORD output, WAVEFORMATEX& format, GUID& major);
// Every sample of the reader, concatenated; the reader must end with NS_E_NO_MORE_SAMPLES.
Pcm DecodeAll(IWMSyncReader* reader);

// WMAFILTER_THREADS while it lives, as a writer reads it when it begins writing and a reader
// when it decodes its first packet.
class CodingThreadsSetting {
 public:
  explicit CodingThreadsSetting(unsigned threads);
  ~CodingThreadsSetting();
  CodingThreadsSetting(const CodingThreadsSetting&) = delete;
  CodingThreadsSetting& operator=(const CodingThreadsSetting&) = delete;

 private:
  std::optional<std::string> previous_;
};

// Threads of this process now running.
std::size_t RunningThreads();

// The runtime's tests: no leaks of the platform's objects, and COM objects all released. They
// code on three threads, more than the development machine's cores, unless a test says so.
class RuntimeTest : public LeakCheckedTest {
 private:
  CodingThreadsSetting threads_{3};
};

}  // namespace runtime_testing
