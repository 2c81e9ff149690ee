// Running a program of the build as a user would, and seeing what it leaves: its exit code, its
// standard output and standard error, and the files of a scratch directory.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace test_support {

struct ProgramRun {
  int exitCode = -1;  // the exit status, or 128 + the signal that ended the program
  std::string out;
  std::string err;
};

// Runs `arguments` (the program first; a name without a slash is looked up in PATH) with
// standard input closed, in the current directory.
// With `unprivileged`, a process running as root runs the program as the user nobody, for whom
// file permissions hold. A `standardOutput` descriptor is the program's standard output instead
// of the one captured in `out`.
ProgramRun RunProgram(const std::vector<std::string>& arguments, bool unprivileged = false,
                      int standardOutput = -1);

// A program started as RunProgram starts it and left running, to be signalled while it works.
class StartedProgram {
 public:
  explicit StartedProgram(const std::vector<std::string>& arguments, bool unprivileged = false,
                          int standardOutput = -1);
  ~StartedProgram();  // waits for the program, if Wait has not
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  int pid() const { return pid_; }
  // Whether the program has ended; Wait then returns at once.
  bool Ended();
  ProgramRun Wait();

 private:
  int pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

// Whether RunProgram(..., true) can run `program`: not when it lies under a folder that the user
// nobody may not enter, as a checkout in a root user's home or private temporary folder does.
bool UnprivilegedUserCanRun(const std::string& program);

// A scratch directory, readable by every user, removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Every file and directory below, as paths relative to the directory.
  std::set<std::string> Contents() const;

 private:
  std::filesystem::path path_;
};

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace test_support
