// The runtime's file calls on Windows, through kernel32's wide calls: paths are UTF-8
// (file_path.cpp) and go back to the UTF-16 names they came from. Errors are Windows' own.
#include <algorithm>
#include <cerrno>
#include <new>
#include <string>

#include "base/file_system.h"
#include "base/result_codes.h"

namespace wmvcore {
namespace {

HRESULT LastSystemError() { return HRESULT_FROM_WIN32(GetLastError()); }

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The UTF-16 name of a path; empty for one that is not UTF-8, which names no file.
std::wstring WideName(const FilePath& path) {
  const int units =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (units <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide.data(), units);
  wide.pop_back();  // the terminator
  return wide;
}

bool IsSeparator(wchar_t unit) { return unit == L'\\' || unit == L'/'; }

// What a name in the same folder as `name` starts with: up to its last separator, the drive of
// "C:name", or nothing for a bare name.
std::wstring FolderPrefix(const std::wstring& name) {
  const auto separator = name.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return name.substr(0, separator + 1);
  return name.size() > 1 && name[1] == L':' ? name.substr(0, 2) : std::wstring();
}

// The folder of a name: its prefix without the last separator, which a root keeps ("C:\" or
// "\"), the drive of "C:name", or "." for a bare name.
std::wstring FolderOf(const std::wstring& name) {
  std::wstring folder = FolderPrefix(name);
  if (folder.empty()) return L".";
  const bool root = folder.size() == 1 || (folder.size() == 3 && folder[1] == L':');
  if (IsSeparator(folder.back()) && !root) folder.pop_back();
  return folder;
}

}  // namespace

File::~File() { Close(); }

void File::Close() {
  if (Handle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(Handle(handle_));
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

HRESULT File::OpenToRead(const FilePath& path, File& file) {
  file.Close();
  // Others may go on reading, writing or renaming the file meanwhile, as with the POSIX calls.
  const HANDLE handle = CreateFileW(WideName(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastSystemError();
  file.handle_ = reinterpret_cast<std::intptr_t>(handle);
  // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS; a device or pipe opens.
  if (GetFileType(handle) != FILE_TYPE_DISK) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  return S_OK;
}

HRESULT File::Read(BYTE* bytes, std::size_t count, std::size_t& got) {
  got = 0;
  while (got < count) {
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(Handle(handle_), bytes + got, asked, &read, nullptr)) return LastSystemError();
    if (read == 0) break;
    got += read;
  }
  return S_OK;
}

HRESULT File::Write(const BYTE* bytes, std::size_t count) {
  while (count > 0) {
    const DWORD offered = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), bytes, offered, &written, nullptr)) return LastSystemError();
    if (written == 0) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);  // nothing taken, no reason
    bytes += written;
    count -= written;
  }
  return S_OK;
}

HRESULT File::Seek(QWORD offset) {
  if (offset > static_cast<QWORD>(INT64_MAX)) return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(Handle(handle_), position, nullptr, FILE_BEGIN)) return LastSystemError();
  return S_OK;
}

HRESULT File::Size(QWORD& bytes) const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(handle_), &size)) return LastSystemError();
  bytes = static_cast<QWORD>(size.QuadPart);
  return S_OK;
}

HRESULT ScratchFile::Create(const FilePath& target, std::unique_ptr<ScratchFile>& scratch) {
  const std::wstring targetName = WideName(target);
  if (targetName.empty()) return NS_E_INVALID_NAME;
  std::unique_ptr<ScratchFile> made(new (std::nothrow) ScratchFile());
  if (!made) return E_OUTOFMEMORY;
  ReplaceFailure failure;
  if (!made->replaced_.Create(targetName, ".wmvcore-", made->file_.handle_, failure))
    return HRESULT_FROM_WIN32(failure.error);
  scratch = std::move(made);
  return S_OK;
}

ScratchFile::~ScratchFile() { file_.Close(); }

HRESULT ScratchFile::ReplaceTarget() {
  // Through to the disk before the rename, so that the name never stands for a file whose
  // bytes the system has not yet written; a full disk may show only here.
  const bool flushed = FlushFileBuffers(Handle(file_.handle_)) != 0;
  const HRESULT flushError = flushed ? S_OK : LastSystemError();
  file_.Close();
  if (!flushed) return flushError;
  ReplaceFailure failure;
  if (!replaced_.Place(failure)) return HRESULT_FROM_WIN32(failure.error);
  return S_OK;
}

HRESULT CheckWritable(const FilePath& target) {
  const std::wstring name = WideName(target);
  if (name.empty() || IsSeparator(name.back()) || name.back() == L':') return NS_E_INVALID_NAME;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  // A folder or a device is no file to replace, and MoveFileExW does not replace a read-only
  // file: either is refused now rather than after the encode.
  constexpr DWORD kNotReplaceable =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotReplaceable) != 0)
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  const DWORD folder = GetFileAttributesW(FolderOf(name).c_str());
  if (folder == INVALID_FILE_ATTRIBUTES) return LastSystemError();
  if ((folder & FILE_ATTRIBUTE_DIRECTORY) == 0) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  // Whether this user may make files in the folder is a matter of its access-control list and
  // the user's token: making a scratch file there, removed again at once, asks Windows itself.
  std::unique_ptr<ScratchFile> probe;
  return ScratchFile::Create(target, probe);
}

// The C library's errno values have no Win32 codes to map to but the two that matter here.
HRESULT ReadFailure(int error) {
  return HRESULT_FROM_WIN32(error == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_READ_FAULT);
}

}  // namespace wmvcore
