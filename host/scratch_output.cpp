#include "scratch_output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "display_text.h"
#else
#include <unistd.h>
#endif

#include "common/scratch_name.h"

namespace {

constexpr char kPrefix[] = ".filterhost-";

#ifdef _WIN32
constexpr char kSeparators[] = "/\\:";
#else
constexpr char kSeparators[] = "/";
#endif

// Makes a new, empty file, failing when anything stands at the path; errno tells why.
bool CreateExclusively(const std::string& path) {
#ifdef _WIN32
  const int descriptor =
      _open(path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor >= 0) _close(descriptor);
#else
  // Readable and writable as far as the umask allows, as any new file: it becomes the output.
  const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor >= 0) close(descriptor);
#endif
  return descriptor >= 0;
}

// The output's folder as a prefix of its path, separator included; empty for the current one.
std::string FolderPrefix(const std::string& path) {
  const std::size_t last = path.find_last_of(kSeparators);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::uint64_t ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<std::uint64_t>(getpid());
#endif
}

// Gives the scratch file what the earlier file at the output's name had: its mode, and its
// owner and group as far as this process may set them (root may; others keep their own). A
// new output keeps the mode it was made with, under the umask. Best effort: a file system
// without owners or modes takes the output as it comes.
void KeepEarlierAttributes(const std::string& scratch, const std::string& output) {
#ifdef _WIN32
  (void)scratch;
  (void)output;
#else
  struct stat earlier;
  if (stat(output.c_str(), &earlier) != 0 || !S_ISREG(earlier.st_mode)) return;
  mode_t mode = earlier.st_mode & 07777;
  if (chown(scratch.c_str(), earlier.st_uid, earlier.st_gid) != 0 &&
      chown(scratch.c_str(), static_cast<uid_t>(-1), earlier.st_gid) != 0) {
    // The group's rights were given to the earlier group, not to the one the file has now.
    mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
  }
  // After the owner: a change of owner clears the set-user and set-group bits.
  chmod(scratch.c_str(), mode);
#endif
}

}  // namespace

ScratchOutput::~ScratchOutput() {
  if (!scratchPath_.empty()) std::remove(scratchPath_.c_str());
}

bool ScratchOutput::Create(std::string& error) {
  const std::string folder = FolderPrefix(path_);
#ifdef PATH_MAX
  // The scratch name may be longer than the output's own leaf, so an output path that just
  // fits the system's limit may leave it no room: said before anything is made.
  const std::size_t longest = PATH_MAX - 1 - ScratchLeafName(kPrefix, 0).size();
  if (folder.size() > longest) {
    error = path_ + ": its folder's path is too long for a scratch file beside it (over " +
            std::to_string(longest) + " bytes)";
    return false;
  }
#endif
  for (unsigned attempt = 0; attempt < kScratchAttempts; ++attempt) {
    const std::string name = folder + ScratchLeafName(kPrefix, ProcessId());
    if (CreateExclusively(name)) {
      scratchPath_ = name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = path_ + ": cannot write in its folder: " + std::strerror(errno);
  return false;
}

// The file is closed by then, and not forced to the disk first: a full disk or quota shows at
// the write or the close, where the caller reports it, and forcing every decode through to the
// disk would cost more than the crash it guards against (the writer forces its own files).
bool ScratchOutput::Commit(std::string& error) {
  KeepEarlierAttributes(scratchPath_, path_);
#ifdef _WIN32
  // rename() does not replace an existing file on Windows.
  if (!MoveFileExA(scratchPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = path_ + ": cannot replace: " + SystemErrorText(GetLastError());
    return false;
  }
#else
  if (std::rename(scratchPath_.c_str(), path_.c_str()) != 0) {
    error = path_ + ": cannot replace: " + std::strerror(errno);
    return false;
  }
#endif
  scratchPath_.clear();
  return true;
}
