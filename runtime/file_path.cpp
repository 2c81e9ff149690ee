#include "file_path.h"

namespace wmvcore {

std::optional<FilePath> PathFromWide(const WCHAR* name) {
  if (name == nullptr || name[0] == 0) return std::nullopt;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::nullopt;
  FilePath path(static_cast<std::size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, name, -1, path.data(), bytes, nullptr, &usedDefault) !=
          bytes ||
      usedDefault)
    return std::nullopt;
  path.pop_back();  // the terminator
  return path;
}

}  // namespace wmvcore
