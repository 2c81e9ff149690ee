// Conversion between 8-bit text and UTF-16 for the ANSI code page, which here is Windows-1252
// with Windows' own table: the five bytes that the code page leaves undefined (81, 8D, 8F, 90,
// 9D) map to the C1 control characters of the same value and back. Characters that the code
// page cannot show become the default character; no best-fit approximations are made.
#include <cstring>

#include <windows.h>

namespace {

// UTF-16 for bytes 0x80-0x9F; every other byte maps to the code point of the same value.
constexpr WCHAR kHighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr DWORD kWcNoBestFitChars = 0x00000400u;

bool IsAnsiCodePage(UINT codePage) { return codePage == CP_ACP || codePage == 1252; }

WCHAR ByteToUnit(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kHighControlRange[byte - 0x80] : WCHAR{byte};
}

// The byte for a UTF-16 unit, or false when the code page has none.
bool UnitToByte(WCHAR unit, unsigned char& byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    byte = static_cast<unsigned char>(unit);
    return true;
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (kHighControlRange[i] == unit) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

std::size_t WideLength(LPCWSTR text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes,
                               LPWSTR target, int targetUnits) {
  if (!IsAnsiCodePage(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
  if (source == nullptr || sourceBytes == 0 || sourceBytes < -1 || targetUnits < 0 ||
      (target == nullptr && targetUnits != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t count =
      sourceBytes == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceBytes);
  if (count > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);
  if (targetUnits == 0) return static_cast<int>(count);

  // Like Windows, an undersized target receives what fits and the call reports failure.
  const std::size_t fits = count < static_cast<std::size_t>(targetUnits) ? count : targetUnits;
  for (std::size_t i = 0; i < fits; ++i) {
    target[i] = ByteToUnit(static_cast<unsigned char>(source[i]));
  }
  if (fits < count) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(count);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceUnits,
                               LPSTR target, int targetBytes, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar) {
  if (!IsAnsiCodePage(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~kWcNoBestFitChars) != 0) return Fail(ERROR_INVALID_FLAGS);
  if (source == nullptr || sourceUnits == 0 || sourceUnits < -1 || targetBytes < 0 ||
      (target == nullptr && targetBytes != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t count =
      sourceUnits == -1 ? WideLength(source) + 1 : static_cast<std::size_t>(sourceUnits);
  if (count > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);

  const char fallback = defaultChar != nullptr ? defaultChar[0] : '?';
  bool usedDefault = false;
  const std::size_t limit = targetBytes == 0 ? 0 : static_cast<std::size_t>(targetBytes);
  for (std::size_t i = 0; i < count; ++i) {
    unsigned char byte = 0;
    if (!UnitToByte(source[i], byte)) {
      byte = static_cast<unsigned char>(fallback);
      usedDefault = true;
    }
    if (targetBytes == 0) continue;
    if (i >= limit) return Fail(ERROR_INSUFFICIENT_BUFFER);
    target[i] = static_cast<char>(byte);
  }
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return static_cast<int>(count);
}

}  // extern "C"
