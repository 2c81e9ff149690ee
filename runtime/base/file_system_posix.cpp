// The runtime's file calls on a POSIX system. Errors are errno values, reported as the Win32
// codes that Windows gives for the same failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <utility>

#include <errno_mapping.h>
#include <wmsdk.h>

#include "base/file_system.h"

namespace wmvcore {
namespace {

HRESULT SystemError(int error) { return HRESULT_FROM_WIN32(Win32ErrorFromErrno(error)); }
HRESULT LastSystemError() { return SystemError(errno); }

int Descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

std::string DirectoryOf(const FilePath& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

File::~File() { Close(); }

void File::Close() {
  if (handle_ >= 0) close(Descriptor(handle_));
  handle_ = -1;
}

HRESULT File::OpenToRead(const FilePath& path, File& file) {
  file.Close();
  // Not blocking: a pipe at the path is refused below rather than waited on.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return LastSystemError();
  file.handle_ = fd;
  struct stat status {};
  if (fstat(fd, &status) != 0) return LastSystemError();
  if (!S_ISREG(status.st_mode)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  return S_OK;
}

HRESULT File::Read(BYTE* bytes, std::size_t count, std::size_t& got) {
  got = 0;
  while (got < count) {
    const ssize_t read = ::read(Descriptor(handle_), bytes + got, count - got);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return LastSystemError();
    if (read == 0) break;
    got += static_cast<std::size_t>(read);
  }
  return S_OK;
}

HRESULT File::Write(const BYTE* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(Descriptor(handle_), bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return LastSystemError();
    if (written == 0) return SystemError(ENOSPC);  // nothing taken and no reason given
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return S_OK;
}

HRESULT File::Seek(QWORD offset) {
  if (offset > static_cast<QWORD>(INT64_MAX)) return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  if (lseek(Descriptor(handle_), static_cast<off_t>(offset), SEEK_SET) < 0)
    return LastSystemError();
  return S_OK;
}

HRESULT File::Size(QWORD& bytes) const {
  struct stat status {};
  if (fstat(Descriptor(handle_), &status) != 0) return LastSystemError();
  bytes = static_cast<QWORD>(status.st_size);
  return S_OK;
}

HRESULT ScratchFile::Create(const FilePath& target, std::unique_ptr<ScratchFile>& scratch) {
  std::unique_ptr<ScratchFile> made(new (std::nothrow) ScratchFile());
  if (!made) return E_OUTOFMEMORY;
  ReplaceFailure failure;
  if (!made->replaced_.Create(target, ".wmvcore-", made->file_.handle_, failure))
    return SystemError(failure.error);
  scratch = std::move(made);
  return S_OK;
}

ScratchFile::~ScratchFile() { file_.Close(); }

HRESULT ScratchFile::ReplaceTarget() {
  // Through to the disk before the rename, so that the name never stands for a file whose
  // bytes the system has not yet written; a full disk may show only here.
  const int fd = Descriptor(file_.handle_);
  const bool synced = fsync(fd) == 0;
  const int syncError = errno;
  file_.handle_ = -1;
  if (close(fd) != 0 || !synced) return SystemError(synced ? errno : syncError);
  ReplaceFailure failure;
  if (!replaced_.Place(failure)) return SystemError(failure.error);
  return S_OK;
}

HRESULT CheckWritable(const FilePath& target) {
  if (target.empty() || target.back() == '/') return NS_E_INVALID_NAME;
  struct stat status {};
  if (stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  const std::string directory = DirectoryOf(target);
  if (stat(directory.c_str(), &status) != 0) return LastSystemError();
  if (!S_ISDIR(status.st_mode)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  if (access(directory.c_str(), W_OK | X_OK) != 0) return LastSystemError();
  return S_OK;
}

HRESULT ReadFailure(int error) { return SystemError(error); }

}  // namespace wmvcore
