#include "path_checks.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Whether this user may write the file; errno tells why not.
bool MayWrite(const std::string& path) {
#ifdef _WIN32
  return _access(path.c_str(), 2) == 0;
#else
  return access(path.c_str(), W_OK) == 0;
#endif
}

}  // namespace

bool CheckReadableFile(const std::string& path, std::string& error) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = path + ": is a directory";
    return false;
  }
  return true;
}

bool CheckOutputPath(const std::string& path, std::string& error) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return true;
  if (!S_ISREG(status.st_mode)) {
    error = path + (S_ISDIR(status.st_mode) ? ": is a directory" : ": is not a regular file");
    return false;
  }
  if (!MayWrite(path)) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat one;
  struct stat other;
  if (stat(first.c_str(), &one) != 0 || stat(second.c_str(), &other) != 0) return false;
#ifdef _WIN32
  return first == second;
#else
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
#endif
}
