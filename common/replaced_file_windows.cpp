// Replacing a file on Windows, by name: Windows does not let a folder be renamed while a file
// in it is open without sharing, which the scratch file is while it is written.
#include <windows.h>

#include "common/replaced_file.h"
#include "common/scratch_name.h"

namespace {

bool Fail(ReplaceFailure& failure, SystemError error = GetLastError()) {
  failure.error = error;
  failure.what.clear();
  return false;
}

// The full name of a file, its separators Windows' own: ReplaceFileW, which works out a name of
// its own in the file's folder, needs one (Wine's takes no '/'); the name itself where none is
// given.
NativePath FullName(const NativePath& name) {
  const DWORD units = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (units == 0) return name;
  NativePath full(units, L'\0');
  const DWORD written = GetFullPathNameW(name.c_str(), units, full.data(), nullptr);
  if (written == 0 || written >= units) return name;
  full.resize(written);
  return full;
}

}  // namespace

ReplacedFile::~ReplacedFile() { Discard(); }

bool ReplacedFile::Create(const NativePath& target, const char* prefix, std::intptr_t& handle,
                          ReplaceFailure& failure) {
  // What a name in the target's folder starts with: up to its last separator, the drive of
  // "C:name", or nothing for a bare name.
  const std::size_t separator = target.find_last_of(L"\\/");
  NativePath folder;
  if (separator != NativePath::npos) {
    folder = target.substr(0, separator + 1);
  } else if (target.size() > 1 && target[1] == L':') {
    folder = target.substr(0, 2);
  }
  target_ = target;
  for (unsigned attempt = 0; attempt < kScratchAttempts; ++attempt) {
    const std::string leaf = ScratchLeafName(prefix, GetCurrentProcessId());
    const NativePath name = folder + NativePath(leaf.begin(), leaf.end());
    // Shared with no one while it is open: no other process reads it before it is whole.
    const HANDLE made = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    if (made == INVALID_HANDLE_VALUE) return Fail(failure);
    scratchPath_ = name;
    handle = reinterpret_cast<std::intptr_t>(made);
    return true;
  }
  return Fail(failure, ERROR_FILE_EXISTS);
}

void ReplacedFile::Discard() {
  if (scratchPath_.empty()) return;
  DeleteFileW(scratchPath_.c_str());
  scratchPath_.clear();
}

bool ReplacedFile::Place(ReplaceFailure& failure) {
  // ReplaceFileW keeps the earlier file's access-control list, attributes and named streams,
  // which a rename would lose, and fails where it cannot (no flag to ignore that); with no
  // earlier file the new one keeps what the folder gave it.
  bool placed = ReplaceFileW(FullName(target_).c_str(), FullName(scratchPath_).c_str(), nullptr, 0,
                             nullptr, nullptr) != 0;
  if (!placed && GetLastError() == ERROR_FILE_NOT_FOUND &&
      GetFileAttributesW(target_.c_str()) == INVALID_FILE_ATTRIBUTES) {
    placed = MoveFileExW(scratchPath_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!placed) {
    Fail(failure);
    Discard();
    return false;
  }
  scratchPath_.clear();
  return true;
}
