// File names: the runtime's interfaces take UTF-16, this system's file calls take UTF-8.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace wmvcore {

// The UTF-8 form of a NUL-terminated UTF-16 name; nothing for a null or empty name, or one
// with an unpaired surrogate.
std::optional<std::string> PathFromWide(const WCHAR* name);

}  // namespace wmvcore
