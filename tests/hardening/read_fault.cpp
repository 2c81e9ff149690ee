// A failing disk under one file, preloaded into filterhost by the bad-input table: with
// WMAFILTER_READ_FAULT set to "NAME@OFFSET", every read of a file whose name ends in NAME that
// starts at OFFSET or beyond fails with EIO. Other files, and earlier bytes, read as ever.
// With WMAFILTER_SHRINK_AT set to "NAME@OFFSET", the first stdio read of such a file that
// reaches OFFSET first cuts the file there, as another program that shortens it meanwhile would.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The path of the file open on `fd` when it ends in the fault's NAME, else empty; the fault's
// OFFSET in `offset`.
std::string MatchingPath(const char* variable, int fd, long long& offset) {
  const char* fault = std::getenv(variable);
  const char* at = fault != nullptr ? std::strrchr(fault, '@') : nullptr;
  if (at == nullptr) return {};
  const std::string name(fault, at);
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = readlink(link.c_str(), target, sizeof(target));
  if (length < static_cast<ssize_t>(name.size()) ||
      name.compare(0, name.size(), target + length - name.size(), name.size()) != 0) {
    return {};
  }
  offset = std::atoll(at + 1);
  return std::string(target, static_cast<std::size_t>(length));
}

bool ReadFails(int fd) {
  long long offset = 0;
  return !MatchingPath("WMAFILTER_READ_FAULT", fd, offset).empty() &&
         lseek(fd, 0, SEEK_CUR) >= offset;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static const auto next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  if (ReadFails(fd)) {
    errno = EIO;
    return -1;
  }
  return next(fd, buffer, count);
}

extern "C" size_t fread(void* buffer, size_t size, size_t count, FILE* stream) {
  using Read = size_t (*)(void*, size_t, size_t, FILE*);
  static const auto next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "fread"));
  static bool shrunk = false;
  long long offset = 0;
  const std::string path =
      shrunk ? std::string() : MatchingPath("WMAFILTER_SHRINK_AT", fileno(stream), offset);
  if (!path.empty() && ftello(stream) + static_cast<long long>(size * count) > offset) {
    shrunk = truncate(path.c_str(), offset) == 0;
  }
  return next(buffer, size, count, stream);
}
