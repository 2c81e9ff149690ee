// Every file-system call of the runtime: reading a file, making scratch files beside a target,
// putting one in the target's place. This header serves every system; each has its own
// implementation beside it (file_system_posix.cpp, file_system_windows.cpp), and nothing else
// in the runtime calls the file system. A failure of the system is reported as
// HRESULT_FROM_WIN32 of its Win32 error code, so that the cause travels with the result to
// whoever tells the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <windows.h>
#include <wmsdk.h>

#include "base/file_path.h"
#include "common/replaced_file.h"

namespace wmvcore {

// An open file, closed when it goes. Reads and writes continue from one position.
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An existing regular file, for reading. Anything else (a directory, a device, a pipe) is
  // refused with ERROR_ACCESS_DENIED, without waiting for a writer at a pipe.
  static HRESULT OpenToRead(const FilePath& path, File& file);

  // Up to `count` bytes; fewer only at the end of the file.
  HRESULT Read(BYTE* bytes, std::size_t count, std::size_t& got);
  HRESULT Write(const BYTE* bytes, std::size_t count);
  HRESULT Seek(QWORD offset);
  HRESULT Size(QWORD& bytes) const;

 private:
  friend class ScratchFile;
  void Close();

  std::intptr_t handle_ = -1;  // the system's own handle of the open file
};

// A new, empty file under a short name of its own in the folder of a target, open for reading
// and writing. It is removed when it goes, unless it has taken the target's place. It is made
// and put in place as the host's files are (common/replaced_file.h): private while written, and
// taking the earlier file's mode, owner, ACL and attributes, or failing where it cannot.
class ScratchFile {
 public:
  // Made exclusively: it is never a file that was there, whatever its name.
  static HRESULT Create(const FilePath& target, std::unique_ptr<ScratchFile>& scratch);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  File& file() { return file_; }

  // Writes the file through to the disk, closes it and renames it onto the target in one step,
  // so that the target is either as it was or this whole file. On failure the file is removed.
  HRESULT ReplaceTarget();

 private:
  ScratchFile() = default;

  File file_;
  ReplacedFile replaced_;  // removed after the destructor has closed the file
};

// Whether a file may be made at `target`: its folder exists and can be written, and what
// stands at the name, if anything, is a regular file. NS_E_INVALID_NAME for a name that names
// no file (empty, or ending in a separator).
HRESULT CheckWritable(const FilePath& target);

// The result for a read that the system failed with errno `error`, as FFmpeg's file protocol
// reports its failures (negated).
HRESULT ReadFailure(int error);

}  // namespace wmvcore
