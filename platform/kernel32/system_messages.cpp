// The system's words for Win32 error codes. This system's errors are errno values: the
// runtime's file calls report the Win32 code that Windows gives for the same failure, and
// FormatMessageA tells it in this system's words ("No space left on device"), ended by CR LF as
// Windows ends its messages.
#include <cerrno>
#include <cstring>

#include <errno_mapping.h>
#include <windows.h>

#include "kernel32/loader_words.h"

namespace {

struct ErrorPair {
  int errnoValue;
  DWORD win32;
};

// Where errno values share a Win32 code, the first of them gives the code its text.
constexpr ErrorPair kErrors[] = {
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_QUOTA_EXCEEDED},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EROFS, ERROR_WRITE_PROTECT},
    {EEXIST, ERROR_FILE_EXISTS},
    {EISDIR, ERROR_DIRECTORY},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ENOMEM, ERROR_OUTOFMEMORY},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EBUSY, ERROR_BUSY},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EIO, ERROR_GEN_FAILURE},  // and every error without a closer Win32 code
};

constexpr DWORD kSupportedFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

}  // namespace

DWORD Win32ErrorFromErrno(int error) {
  for (const ErrorPair& pair : kErrors)
    if (pair.errnoValue == error) return pair.win32;
  return ERROR_GEN_FAILURE;
}

extern "C" {

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                            LPSTR buffer, DWORD size, va_list*) {
  if (flags != kSupportedFlags || source != nullptr || languageId != 0 || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ErrorPair* found = nullptr;
  for (const ErrorPair& pair : kErrors)
    if (found == nullptr && pair.win32 == messageId) found = &pair;
  const bool loader = messageId == ERROR_MOD_NOT_FOUND && *LastLoaderWords() != '\0';
  if (found == nullptr && !loader) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  char words[256];
  const char* text =
      loader ? LastLoaderWords() : strerror_r(found->errnoValue, words, sizeof(words));
  const std::size_t length = std::strlen(text) + 2;  // and CR LF
  if (length + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text, length - 2);
  std::memcpy(buffer + length - 2, "\r\n", 3);
  return static_cast<DWORD>(length);
}

}  // extern "C"
