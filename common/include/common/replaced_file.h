// A file that takes the place of another as a whole, for the host and the runtime alike: it is
// written under a scratch name beside its target and renamed onto it in one step once complete,
// so that the target is either as it was or the whole new file. One rule for every file either
// replaces:
// - While it is written the scratch file is private. On POSIX systems it is made with no more
//   than the earlier file's mode and 0600 at most (0600 where there is no earlier file); on
//   Windows it is open to its writer alone (no sharing) for as long as the writer holds it.
// - Before the rename it takes what the earlier file has, so that the replaced file grants no
//   one more than the earlier one did. POSIX: the owner and group as far as this process may set
//   them, every extended attribute (on Linux the ACL too: it is the attribute
//   system.posix_acl_access), then the mode. Windows: ReplaceFileW keeps the earlier file's
//   access-control list, attributes and named streams. A new file takes what any file newly
//   made there takes (the umask, the folder's default ACL).
// - Where that cannot be done (an attribute the scratch file's file system does not take), the
//   replace fails with its reason and the earlier file stays; access is never widened instead.
// - On POSIX systems the folder is held open, and the scratch file is made, renamed and removed
//   relative to it: a folder moved during the run keeps no scratch file, and a replace into a
//   folder that no longer has the target's folder path fails rather than landing elsewhere.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
using NativePath = std::wstring;    // Windows' own UTF-16 names
using SystemError = unsigned long;  // a Win32 error code, as GetLastError gives it
#else
using NativePath = std::string;
using SystemError = int;  // an errno value
#endif

// Why a replace failed: the system's error and, where it was not the rename itself, what could
// not be kept ("its extended attribute user.x").
struct ReplaceFailure {
  SystemError error = 0;
  std::string what;
};

class ReplacedFile {
 public:
  ReplacedFile() = default;
  ~ReplacedFile();  // removes a scratch file that has not taken the target's place
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  // Makes the scratch file beside `target` exclusively (never a file that was there), named
  // `prefix` and six letters, open for reading and writing. The caller owns `handle` (a file
  // descriptor, or a HANDLE on Windows) and closes it before Place.
  bool Create(const NativePath& target, const char* prefix, std::intptr_t& handle,
              ReplaceFailure& failure);

  // Gives the closed scratch file what the target's file has (see above) and its name. On
  // failure the scratch file is removed and the target left as it was.
  bool Place(ReplaceFailure& failure);

  // Removes the scratch file, if it is still there under its name.
  void Discard();

  const NativePath& scratchPath() const { return scratchPath_; }

 private:
#ifndef _WIN32
  bool FolderIsStillAtItsPath(ReplaceFailure& failure) const;
  bool TakeAttributesOf(const std::string& model, ReplaceFailure& failure);

  int folder_ = -1;          // the target's folder, held open
  std::string folderPath_;   // its path as the target names it, "." for the current one
  std::string targetLeaf_;   // the target's name within it
  std::string scratchLeaf_;  // the scratch file's
  std::string prefix_;       // of scratch names, also of the file that shows a new file's mode
#endif
  NativePath target_;
  NativePath scratchPath_;  // empty unless a scratch file stands under it
};
