// Replacing a file on a POSIX system: everything relative to the folder held open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <vector>

#include "common/replaced_file.h"
#include "common/scratch_name.h"

namespace {

#ifdef O_PATH
// Enough to make, rename and remove files relative to it, and needs no right to list it.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

bool Fail(ReplaceFailure& failure, const std::string& what = "", int error = errno) {
  failure.error = error;
  failure.what = what;
  return false;
}

// Makes a new file in `folder` named `prefix` and six letters, exclusively; its descriptor, or
// -1 with errno set.
int CreateIn(int folder, const char* prefix, int access, mode_t mode, std::string& leaf) {
  for (unsigned attempt = 0; attempt < kScratchAttempts; ++attempt) {
    leaf = ScratchLeafName(prefix, static_cast<std::uint64_t>(getpid()));
    const int descriptor =
        openat(folder, leaf.c_str(), access | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;  // errno is EEXIST
}

// The rights this process has on a file, as the owner's bits of a mode.
mode_t RightsOnFile(const std::string& path) {
  mode_t rights = 0;
  if (faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0) rights |= S_IRUSR;
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) rights |= S_IWUSR;
  if (faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0) rights |= S_IXUSR;
  return rights;
}

#ifdef __linux__
// The names of a file's extended attributes; none where its file system has none. Read
// through a link at `path` for the earlier file (it is what the link's target had), never
// through one for the scratch file.
bool AttributeNames(const std::string& path, bool followLink, std::vector<std::string>& names) {
  names.clear();
  std::vector<char> list;
  for (;;) {
    const ssize_t size =
        followLink ? listxattr(path.c_str(), nullptr, 0) : llistxattr(path.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    list.resize(static_cast<std::size_t>(size));
    const ssize_t got = followLink ? listxattr(path.c_str(), list.data(), list.size())
                                   : llistxattr(path.c_str(), list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return false;  // grown meanwhile: asked again
  }
  for (std::size_t at = 0; at < list.size();) {
    const std::string name(list.data() + at);
    at += name.size() + 1;
    if (!name.empty()) names.push_back(name);
  }
  return true;
}

bool AttributeValue(const std::string& path, bool followLink, const std::string& name,
                    std::vector<char>& value) {
  for (;;) {
    const ssize_t size = followLink ? getxattr(path.c_str(), name.c_str(), nullptr, 0)
                                    : lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = followLink
                            ? getxattr(path.c_str(), name.c_str(), value.data(), value.size())
                            : lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

std::string AttributeText(const std::string& name) {
  return name == "system.posix_acl_access" ? "its access control list (" + name + ")"
                                           : "its extended attribute " + name;
}

// Gives `scratch` the extended attributes of `model`, the ACL among them, and takes away those
// of its own that the model lacks in the user and system namespaces (an ACL inherited from the
// folder's default ACL). Attributes in other namespaces that the system gives every new file
// (security.selinux) stay as the system set them unless the model has another value.
bool CopyAttributes(const std::string& model, const std::string& scratch, ReplaceFailure& failure) {
  std::vector<std::string> wanted;
  std::vector<std::string> present;
  if (!AttributeNames(model, true, wanted))
    return Fail(failure, "cannot read its extended attributes");
  if (!AttributeNames(scratch, false, present))
    return Fail(failure, "cannot read the extended attributes of its scratch file");
  for (const std::string& name : present) {
    const bool ours = name.rfind("user.", 0) == 0 || name.rfind("system.", 0) == 0;
    if (ours && std::find(wanted.begin(), wanted.end(), name) == wanted.end() &&
        lremovexattr(scratch.c_str(), name.c_str()) != 0 && errno != ENODATA) {
      return Fail(failure, "cannot take away " + AttributeText(name) + " from its scratch file");
    }
  }
  std::vector<char> value;
  std::vector<char> held;
  for (const std::string& name : wanted) {
    if (!AttributeValue(model, true, name, value)) {
      if (errno == ENODATA) continue;  // gone meanwhile
      return Fail(failure, "cannot read " + AttributeText(name));
    }
    // What the scratch file has already needs no right to set (a label the system gave it).
    if (AttributeValue(scratch, false, name, held) && held == value) continue;
    if (lsetxattr(scratch.c_str(), name.c_str(), value.data(), value.size(), 0) != 0)
      return Fail(failure, "cannot keep " + AttributeText(name));
  }
  return true;
}
#endif

}  // namespace

ReplacedFile::~ReplacedFile() {
  Discard();
  if (folder_ >= 0) close(folder_);
}

bool ReplacedFile::Create(const NativePath& target, const char* prefix, std::intptr_t& handle,
                          ReplaceFailure& failure) {
  const std::size_t slash = target.rfind('/');
  const std::string folderPrefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  folderPath_ = folderPrefix.empty() ? "." : folderPrefix;
  targetLeaf_ = target.substr(folderPrefix.size());
  target_ = target;
  folder_ = open(folderPath_.c_str(), kFolderFlags);
  if (folder_ < 0) return Fail(failure);
  // Private from the start: the scratch file is this user's, and grants its owner no more than
  // the earlier file granted its own.
  mode_t mode = S_IRUSR | S_IWUSR;
  struct stat earlier {};
  if (fstatat(folder_, targetLeaf_.c_str(), &earlier, 0) == 0 && S_ISREG(earlier.st_mode))
    mode &= earlier.st_mode;
  const int descriptor = CreateIn(folder_, prefix, O_RDWR, mode, scratchLeaf_);
  if (descriptor < 0) return Fail(failure);
  prefix_ = prefix;
  scratchPath_ = folderPrefix + scratchLeaf_;
  handle = descriptor;
  return true;
}

void ReplacedFile::Discard() {
  if (scratchPath_.empty()) return;
  unlinkat(folder_, scratchLeaf_.c_str(), 0);
  scratchPath_.clear();
}

bool ReplacedFile::FolderIsStillAtItsPath(ReplaceFailure& failure) const {
  struct stat held {};
  struct stat named {};
  if (fstat(folder_, &held) != 0) return Fail(failure);
  const bool same = stat(folderPath_.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                    named.st_ino == held.st_ino;
  return same || Fail(failure, "its folder was moved or replaced meanwhile", ENOENT);
}

// In this order: a change of owner clears the set-user and set-group bits, and setting an ACL
// sets the permission bits, so the mode comes last.
bool ReplacedFile::TakeAttributesOf(const std::string& model, ReplaceFailure& failure) {
  struct stat earlier {};
  if (stat(model.c_str(), &earlier) != 0) return Fail(failure, "cannot read its mode");
  mode_t mode = earlier.st_mode & 07777;
  const char* leaf = scratchLeaf_.c_str();
  if (fchownat(folder_, leaf, earlier.st_uid, earlier.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
    // This user may not give the file away (only root may): it stays this user's, so its
    // owner's rights are no more than this user had on the earlier file, and it sets no one's
    // user ID.
    mode &= ~static_cast<mode_t>(S_ISUID | S_IRWXU) | RightsOnFile(model);
    if (fchownat(folder_, leaf, static_cast<uid_t>(-1), earlier.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
      // The group's rights were given to the earlier group, not to the one the file has now.
      mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
    }
  }
#ifdef __linux__
  if (!CopyAttributes(model, scratchPath_, failure)) return false;
#endif
  if (fchmodat(folder_, leaf, mode, 0) != 0) return Fail(failure, "cannot keep its mode");
  return true;
}

bool ReplacedFile::Place(ReplaceFailure& failure) {
  bool placed = FolderIsStillAtItsPath(failure);
  if (placed) {
    struct stat earlier {};
    if (stat(target_.c_str(), &earlier) == 0 && S_ISREG(earlier.st_mode)) {
      placed = TakeAttributesOf(target_, failure);
    } else {
      // A new file takes what a file newly made there takes: the umask, or the folder's default
      // ACL. An empty file made there with the usual mode shows what that is, and goes.
      std::string probe;
      const int descriptor = CreateIn(folder_, prefix_.c_str(), O_WRONLY, 0666, probe);
      if (descriptor < 0) {
        placed = Fail(failure);
      } else {
        close(descriptor);
        const std::string folderPrefix = target_.substr(0, target_.size() - targetLeaf_.size());
        placed = TakeAttributesOf(folderPrefix + probe, failure);
        unlinkat(folder_, probe.c_str(), 0);
      }
    }
  }
  if (placed && renameat(folder_, scratchLeaf_.c_str(), folder_, targetLeaf_.c_str()) != 0)
    placed = Fail(failure);
  if (!placed) {
    Discard();
    return false;
  }
  scratchPath_.clear();
  return true;
}
