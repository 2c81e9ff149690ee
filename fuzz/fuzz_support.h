// Small helpers shared by the fuzz targets: a failed promise stops the run where it is, inputs
// that must be files are written to one scratch file per process, and the platform's counters
// tell whether an input left anything behind.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <platform_testing.h>

namespace fuzz {

// Stops at once, so that the fuzzer (or the replay) reports the input that broke the promise.
inline void Require(bool condition, const char* promise) {
  if (condition) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::fflush(stderr);
  __builtin_trap();
}

// A file in memory-backed storage, named after the target and the process so that targets run
// side by side do not share one, and removed when the process ends.
class ScratchFile {
 public:
  ScratchFile(const char* target, const char* extension)
      : path_(std::string(Directory()) + "/" + target + "." + std::to_string(getpid()) +
              extension) {}
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
  }
  const std::string& path() const { return path_; }

 private:
  static const char* Directory() { return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"; }

  std::string path_;
};

// What the platform stand-ins count: heap and global blocks, live COM objects and this thread's
// apartment. Equal snapshots before and after an input mean that it left nothing behind.
struct PlatformBalance {
  std::size_t heapBlocks = platform_testing::LiveHeapBlocks();
  std::size_t globalBlocks = platform_testing::LiveGlobalBlocks();
  std::size_t comObjects = platform_testing::LiveComObjects();
  platform_testing::ApartmentState apartment = platform_testing::CurrentApartment();

  void RequireUnchanged() const {
    const PlatformBalance now;
    Require(now.heapBlocks == heapBlocks, "no heap block is left allocated");
    Require(now.globalBlocks == globalBlocks, "no global block is left allocated");
    Require(now.comObjects == comObjects, "no COM object is left alive");
    Require(now.apartment.initializations == apartment.initializations &&
                now.apartment.model == apartment.model,
            "COM is left as it was found");
  }
};

}  // namespace fuzz
