#include "scratch_output.h"

#include <cerrno>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
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

#ifdef _WIN32
// The host's names are in the ANSI code page, as its arguments come.
NativePath ToNative(const std::string& path) {
  const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (units <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), units);
  wide.pop_back();
  return wide;
}

std::string FromNative(const NativePath& path) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

std::string Reason(const ReplaceFailure& failure) { return SystemErrorText(failure.error); }

// A stream over the scratch file's handle, which it then owns.
std::FILE* StreamOver(std::intptr_t handle) {
  const int descriptor = _open_osfhandle(handle, _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "wb");
  if (stream == nullptr) _close(descriptor);
  return stream;
}

void CloseHandleOf(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }
#else
NativePath ToNative(const std::string& path) { return path; }
std::string FromNative(const NativePath& path) { return path; }
std::string Reason(const ReplaceFailure& failure) { return std::strerror(failure.error); }

std::FILE* StreamOver(std::intptr_t handle) {
  std::FILE* stream = fdopen(static_cast<int>(handle), "wb");
  if (stream == nullptr) close(static_cast<int>(handle));
  return stream;
}

void CloseHandleOf(std::intptr_t handle) { close(static_cast<int>(handle)); }
#endif

}  // namespace

bool ScratchOutput::Create(std::string& error, std::FILE** stream) {
#ifdef PATH_MAX
  // The scratch name may be longer than the output's own leaf, so an output path that just
  // fits the system's limit may leave it no room: said before anything is made.
  const std::size_t last = path_.find_last_of(kSeparators);
  const std::size_t folder = last == std::string::npos ? 0 : last + 1;
  const std::size_t longest = PATH_MAX - 1 - ScratchLeafName(kPrefix, 0).size();
  if (folder > longest) {
    error = path_ + ": its folder's path is too long for a scratch file beside it (over " +
            std::to_string(longest) + " bytes)";
    return false;
  }
#endif
  // Held before the file exists, so that no signal can end the run between the two.
  held_.emplace();
  std::intptr_t handle = -1;
  ReplaceFailure failure;
  if (!file_.Create(ToNative(path_), kPrefix, handle, failure)) {
    held_.reset();
    error = path_ + ": cannot write in its folder: " + Reason(failure);
    return false;
  }
  scratchPath_ = FromNative(file_.scratchPath());
  if (stream == nullptr) {
    CloseHandleOf(handle);
    return true;
  }
  errno = 0;
  *stream = StreamOver(handle);
  if (*stream != nullptr) return true;
  error = path_ + ": cannot create the file: " + std::strerror(errno);
  return false;
}

// The file is closed by then, and not forced to the disk first: a full disk or quota shows at
// the write or the close, where the caller reports it, and forcing every decode through to the
// disk would cost more than the crash it guards against (the writer forces its own files).
bool ScratchOutput::Commit(std::string& error) {
  ReplaceFailure failure;
  const bool placed = file_.Place(failure);
  scratchPath_.clear();
  if (placed) OutputInPlace();
  held_.reset();
  if (placed) return true;
  error = path_ + ": " + (failure.what.empty() ? "cannot replace" : failure.what) + ": " +
          Reason(failure);
  return false;
}
