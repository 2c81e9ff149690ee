#include "base/file_path.h"

namespace wmvcore {
namespace {

#ifdef _WIN32
// UTF-8 reports what it cannot convert by failing.
constexpr UINT kPathCodePage = CP_UTF8;
constexpr DWORD kPathFlags = WC_ERR_INVALID_CHARS;
constexpr bool kReportsLoss = false;
#else
// The ANSI code page reports what it cannot convert through the default character.
constexpr UINT kPathCodePage = CP_ACP;
constexpr DWORD kPathFlags = 0;
constexpr bool kReportsLoss = true;
#endif

}  // namespace

std::optional<FilePath> PathFromWide(const WCHAR* name) {
  if (name == nullptr || name[0] == 0) return std::nullopt;
  const int bytes =
      WideCharToMultiByte(kPathCodePage, kPathFlags, name, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::nullopt;
  FilePath path(static_cast<std::size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  if (WideCharToMultiByte(kPathCodePage, kPathFlags, name, -1, path.data(), bytes, nullptr,
                          kReportsLoss ? &usedDefault : nullptr) != bytes ||
      usedDefault)
    return std::nullopt;
  path.pop_back();  // the terminator
  return path;
}

}  // namespace wmvcore
