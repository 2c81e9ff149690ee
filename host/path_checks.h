// Checks of the paths the host is given, made before the filter is asked, so that an error
// names the path and what is wrong with it.
#pragma once

#include <string>

// The file is a regular file that this user may read: opened once, without waiting at a pipe,
// so that a directory, a device or a pipe is refused at once, and an unreadable file with the
// system's reason.
bool CheckReadableFile(const std::string& path, std::string& error);

// Whatever already stands at an output path is a regular file that this user may write: only
// a regular file is replaced, and a file made read-only is kept. A path with nothing there
// passes, and so does a symbolic link that points nowhere (the output replaces the link). A
// link into /proc (/dev/stdout, /dev/stderr) stands for an open descriptor and is never
// replaced.
bool CheckOutputPath(const std::string& path, std::string& error);

// How a decode writes its output. Like other command-line converters, it streams to what is
// not a file: "-" and a name of the program's standard output are standard output, a
// character device or a pipe is opened and written straight through, with no scratch file and
// no rename. Anything else must pass CheckOutputPath and is replaced as a whole.
enum class OutputRoute { kReplaceFile, kStandardOutput, kStraightThrough };
bool RouteOutput(const std::string& path, OutputRoute& route, std::string& error);

// Whether the output is the input file, by what it is rather than how it is spelled: the file
// a name leads to, through links and /dev/fd, or the one standard output is open on for "-"
// (on Windows, which reports no inode numbers, only when the names are the same text).
bool IsInputFile(const std::string& input, const std::string& output);
