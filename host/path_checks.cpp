#include "path_checks.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
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

// Whether this user may read the file; errno tells why not. Opened, not asked with access(),
// so that the answer is the system's own for this process.
bool MayRead(const std::string& path) {
#ifdef _WIN32
  const int descriptor = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (descriptor >= 0) _close(descriptor);
#else
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor >= 0) close(descriptor);
#endif
  return descriptor >= 0;
}

// Whether the name stands for an open descriptor: a link into /proc (/dev/stdout), or a name in
// a folder of /proc (/dev/fd/1). Replacing it would replace the system's link, not the output.
bool NamesADescriptor(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  constexpr char kProc[] = "/proc/";
  constexpr std::size_t kProcLength = sizeof(kProc) - 1;
  char target[PATH_MAX];
  const ssize_t length = readlink(path.c_str(), target, sizeof(target));
  if (length >= static_cast<ssize_t>(kProcLength) && std::memcmp(target, kProc, kProcLength) == 0)
    return true;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  char* resolved = realpath(folder.c_str(), nullptr);
  const bool inProc = resolved != nullptr && std::strncmp(resolved, kProc, kProcLength) == 0;
  std::free(resolved);
  return inProc;
#endif
}

}  // namespace

bool CheckReadableFile(const std::string& path, std::string& error) {
  // The kind first, from the name alone: opening a device or a pipe may block or act.
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = path + ": is a directory";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = path + ": is not a regular file";
    return false;
  }
  if (!MayRead(path)) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool CheckOutputPath(const std::string& path, std::string& error) {
  if (NamesADescriptor(path)) {
    error = path + ": names an open descriptor, not a file";
    return false;
  }
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    // A name the system cannot take (a leaf over its limit) is said now, not at the rename
    // after all the work; anything else missing is made.
    if (errno != ENAMETOOLONG) return true;
    error = path + ": " + std::strerror(errno);
    return false;
  }
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

bool RouteOutput(const std::string& path, OutputRoute& route, std::string& error) {
  route = OutputRoute::kStandardOutput;
  if (path == "-") return true;
  struct stat named;
  if (stat(path.c_str(), &named) == 0) {
#ifndef _WIN32
    // Windows reports no inode numbers, so there only "-" names standard output.
    struct stat output;
    if (fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == named.st_dev &&
        output.st_ino == named.st_ino) {
      return true;
    }
#endif
    if (S_ISCHR(named.st_mode) || S_ISFIFO(named.st_mode)) {
      route = OutputRoute::kStraightThrough;
      return true;
    }
  }
  route = OutputRoute::kReplaceFile;
  return CheckOutputPath(path, error);
}

bool IsInputFile(const std::string& input, const std::string& output) {
  struct stat one;
  struct stat other;
  if (stat(input.c_str(), &one) != 0) return false;
#ifdef _WIN32
  // Windows reports no inode numbers: there only the same text is the same file.
  return stat(output.c_str(), &other) == 0 && input == output;
#else
  // "-" is whatever standard output is open on, whatever the shell opened it with.
  const int found = output == "-" ? fstat(STDOUT_FILENO, &other) : stat(output.c_str(), &other);
  return found == 0 && one.st_dev == other.st_dev && one.st_ino == other.st_ino;
#endif
}
