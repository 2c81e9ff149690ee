// File names. The runtime's interfaces take UTF-16 names, which the plug-in makes from the
// host's bytes in the ANSI code page; this system's file calls take bytes again.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace wmvcore {

// A name in the form that the system's file calls take.
using FilePath = std::string;

// The path for a NUL-terminated UTF-16 name. Natively the inverse of the ANSI code page's
// conversion that made it, so that every byte of the host's name comes back as it was; on
// Windows UTF-8, which FFmpeg's file protocol takes and the runtime's file calls turn back into
// the UTF-16 name (file_system_windows.cpp). Nothing for a null or empty name, or one that has
// no such form: a character the code page cannot show (no byte name gives one, and a lookalike
// would name another file), or on Windows an unpaired surrogate.
std::optional<FilePath> PathFromWide(const WCHAR* name);

}  // namespace wmvcore
