// An output file written under a short scratch name in the output's folder and given the
// output's name in one rename once it is complete, so that a failure or an interruption at any
// step leaves an earlier file of that name exactly as it was, and two runs on one output leave
// one whole file. A scratch file that was not renamed is removed when the object goes. The
// scratch file is private while it is written and takes the earlier file's mode, owner, ACL and
// extended attributes before the rename, as common/replaced_file.h says; the runtime's writer
// replaces its files by the same rule.
//
// The rename replaces whatever entry stands at the output's name: a symbolic link there is
// replaced by the new file, and the file it points to, if any, is never written.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "common/replaced_file.h"
#include "interruption.h"

class ScratchOutput {
 public:
  explicit ScratchOutput(std::string path) : path_(std::move(path)) {}
  ScratchOutput(const ScratchOutput&) = delete;
  ScratchOutput& operator=(const ScratchOutput&) = delete;

  // Makes the scratch file, empty and exclusively: never a file that was already there. It is
  // handed out open for writing as `stream` where one is asked for, else closed (for the filter
  // to replace). The error names the output and the system's reason.
  bool Create(std::string& error, std::FILE** stream = nullptr);
  // Gives the closed scratch file the output's name.
  bool Commit(std::string& error);

  const std::string& path() const { return path_; }
  const std::string& scratchPath() const { return scratchPath_; }

 private:
  std::string path_;
  std::string scratchPath_;                  // empty until made, and again once renamed
  std::optional<CleanUpBeforeEnding> held_;  // while the scratch file stands: declared first,
  ReplacedFile file_;                        // so that it goes only after the file
};
