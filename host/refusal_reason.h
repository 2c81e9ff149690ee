// The host's one line for a file that the filter does not read. The filter answers only yes or
// no, so the runtime under it is asked once more, to tell protected content from a file that
// is not Windows Media at all.
#pragma once

#include <string>

// "PATH: ..." saying why the file is refused.
std::string RefusedFileMessage(const std::string& path);
