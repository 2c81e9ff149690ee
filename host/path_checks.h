// Checks of the paths the host is given, made before the filter is asked, so that an error
// names the path and what is wrong with it.
#pragma once

#include <string>

// The file exists and is not a directory.
bool CheckReadableFile(const std::string& path, std::string& error);

// Whatever already stands at an output path is a regular file that this user may write: only
// a regular file is replaced, and a file made read-only is kept. A path with nothing there
// passes, and so does a symbolic link that points nowhere (the output replaces the link).
bool CheckOutputPath(const std::string& path, std::string& error);

// Whether both paths name one existing file (on Windows, which reports no inode numbers, only
// when the paths are the same text).
bool IsSameFile(const std::string& first, const std::string& second);
