// A failing disk under one file, preloaded into filterhost by the bad-input table: with
// WMAFILTER_READ_FAULT set to "NAME@OFFSET", every read of a file whose name ends in NAME that
// starts at OFFSET or beyond fails with EIO. Other files, and earlier bytes, read as ever.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool ReadFails(int fd) {
  const char* fault = std::getenv("WMAFILTER_READ_FAULT");
  const char* at = fault != nullptr ? std::strrchr(fault, '@') : nullptr;
  if (at == nullptr) return false;
  const std::string name(fault, at);
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = readlink(link.c_str(), target, sizeof(target));
  if (length < static_cast<ssize_t>(name.size()) ||
      name.compare(0, name.size(), target + length - name.size(), name.size()) != 0) {
    return false;
  }
  return lseek(fd, 0, SEEK_CUR) >= std::atoll(at + 1);
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
