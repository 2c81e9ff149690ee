// An output file written under a short scratch name in the output's folder and given the
// output's name in one rename once it is complete, so that a failure or an interruption at any
// step leaves an earlier file of that name exactly as it was, and two runs on one output leave
// one whole file. A scratch file that was not renamed is removed when the object goes.
//
// The rename replaces whatever entry stands at the output's name: a symbolic link there is
// replaced by the new file, and the file it points to, if any, is never written.
#pragma once

#include <string>

class ScratchOutput {
 public:
  explicit ScratchOutput(std::string path) : path_(std::move(path)) {}
  ~ScratchOutput();
  ScratchOutput(const ScratchOutput&) = delete;
  ScratchOutput& operator=(const ScratchOutput&) = delete;

  // Makes the scratch file, empty and exclusively: never a file that was already there. The
  // error names the output and the system's reason.
  bool Create(std::string& error);
  // Gives the scratch file the output's name.
  bool Commit(std::string& error);

  const std::string& path() const { return path_; }
  const std::string& scratchPath() const { return scratchPath_; }

 private:
  std::string path_;
  std::string scratchPath_;  // empty until made, and again once renamed
};
