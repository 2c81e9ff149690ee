// Conversion between 8-bit text and UTF-16 for two code pages, as Windows converts them.
// The ANSI code page is Windows-1252 with Windows' own table: the five bytes that the code page
// leaves undefined (81, 8D, 8F, 90, 9D) map to the C1 control characters of the same value and
// back, so every byte string survives the round trip. Characters that it cannot show become the
// default character; no best-fit approximations are made.
// CP_UTF8: an invalid sequence becomes one U+FFFD for each of its maximal parts (the Unicode
// standard's recommended practice), and an unpaired surrogate becomes U+FFFD, unless the caller
// asks for such text to fail the call.
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
constexpr char32_t kReplacement = 0xFFFD;

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

// Where converted text goes: only counted when there is no target, otherwise stored while it
// fits. Like Windows, an undersized target receives what fits and the call reports failure.
template <typename Unit>
class Output {
 public:
  Output(Unit* target, int capacity)
      : target_(target), capacity_(static_cast<std::size_t>(capacity)) {}

  bool Put(Unit unit) {
    if (target_ != nullptr) {
      if (count_ == capacity_) return false;
      target_[count_] = unit;
    }
    ++count_;
    return true;
  }
  // Units of one character go in whole or not at all.
  bool Fits(std::size_t units) const { return target_ == nullptr || capacity_ - count_ >= units; }
  int Result() const {
    return count_ > static_cast<std::size_t>(INT32_MAX) ? Fail(ERROR_INVALID_PARAMETER)
                                                        : static_cast<int>(count_);
  }

 private:
  Unit* target_;
  std::size_t capacity_;
  std::size_t count_ = 0;
};

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// The code point that starts `text` (`left` bytes), and how many bytes it takes. An invalid
// sequence gives false and the length of its maximal part: a lead byte with the continuation
// bytes that may follow it, up to the first that may not.
bool DecodeUtf8(const unsigned char* text, std::size_t left, char32_t& code, std::size_t& length) {
  const unsigned char lead = text[0];
  length = 1;
  if (lead < 0x80) {
    code = lead;
    return true;
  }
  std::size_t needed = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the second byte; later ones are always 80-BF
  if (InRange(lead, 0xC2, 0xDF)) {
    needed = 1;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    needed = 2;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (InRange(lead, 0xF0, 0xF4)) {
    needed = 3;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return false;
  }
  code = lead & (0x3F >> needed);
  for (std::size_t i = 1; i <= needed; ++i) {
    if (i >= left || !InRange(text[i], i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) return false;
    code = code << 6 | (text[i] & 0x3F);
    ++length;
  }
  return true;
}

bool PutUtf16(Output<WCHAR>& out, char32_t code) {
  if (code < 0x10000) return out.Put(static_cast<WCHAR>(code));
  if (!out.Fits(2)) return false;
  out.Put(static_cast<WCHAR>(0xD800 + ((code - 0x10000) >> 10)));
  return out.Put(static_cast<WCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF)));
}

bool PutUtf8(Output<char>& out, char32_t code) {
  const std::size_t extra = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  if (!out.Fits(extra + 1)) return false;
  constexpr unsigned char kLeads[] = {0x00, 0xC0, 0xE0, 0xF0};
  out.Put(static_cast<char>(kLeads[extra] | (code >> (6 * extra))));
  for (std::size_t shift = extra; shift-- > 0;)
    out.Put(static_cast<char>(0x80 | ((code >> (6 * shift)) & 0x3F)));
  return true;
}

int Utf8ToWide(DWORD flags, const unsigned char* source, std::size_t count, Output<WCHAR> out) {
  for (std::size_t i = 0; i < count;) {
    char32_t code = 0;
    std::size_t length = 0;
    if (!DecodeUtf8(source + i, count - i, code, length)) {
      if ((flags & MB_ERR_INVALID_CHARS) != 0) return Fail(ERROR_NO_UNICODE_TRANSLATION);
      code = kReplacement;
    }
    if (!PutUtf16(out, code)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    i += length;
  }
  return out.Result();
}

int WideToUtf8(DWORD flags, LPCWSTR source, std::size_t count, Output<char> out) {
  for (std::size_t i = 0; i < count; ++i) {
    char32_t code = source[i];
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < count && source[i + 1] >= 0xDC00 && source[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (source[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      if ((flags & WC_ERR_INVALID_CHARS) != 0) return Fail(ERROR_NO_UNICODE_TRANSLATION);
      code = kReplacement;
    }
    if (!PutUtf8(out, code)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  return out.Result();
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes,
                               LPWSTR target, int targetUnits) {
  const bool utf8 = codePage == CP_UTF8;
  if (!utf8 && !IsAnsiCodePage(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  // UTF-8 takes no flag but the one that makes invalid text fail, as on Windows.
  const DWORD allowed = utf8 ? MB_ERR_INVALID_CHARS : MB_PRECOMPOSED | MB_ERR_INVALID_CHARS;
  if ((flags & ~allowed) != 0) return Fail(ERROR_INVALID_FLAGS);
  if (source == nullptr || sourceBytes == 0 || sourceBytes < -1 || targetUnits < 0 ||
      (target == nullptr && targetUnits != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t count =
      sourceBytes == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceBytes);
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);
  const Output<WCHAR> out(targetUnits == 0 ? nullptr : target, targetUnits);
  if (utf8) return Utf8ToWide(flags, bytes, count, out);

  if (count > static_cast<std::size_t>(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);
  if (targetUnits == 0) return static_cast<int>(count);
  const std::size_t fits = count < static_cast<std::size_t>(targetUnits) ? count : targetUnits;
  for (std::size_t i = 0; i < fits; ++i) target[i] = ByteToUnit(bytes[i]);
  if (fits < count) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(count);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceUnits,
                               LPSTR target, int targetBytes, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar) {
  const bool utf8 = codePage == CP_UTF8;
  if (!utf8 && !IsAnsiCodePage(codePage)) return Fail(ERROR_INVALID_PARAMETER);
  if ((flags & ~(utf8 ? WC_ERR_INVALID_CHARS : kWcNoBestFitChars)) != 0)
    return Fail(ERROR_INVALID_FLAGS);
  if (source == nullptr || sourceUnits == 0 || sourceUnits < -1 || targetBytes < 0 ||
      (target == nullptr && targetBytes != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // UTF-8 shows every character, so it has no default character to use or report.
  if (utf8 && (defaultChar != nullptr || usedDefaultChar != nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  const std::size_t count =
      sourceUnits == -1 ? WideLength(source) + 1 : static_cast<std::size_t>(sourceUnits);
  if (utf8) return WideToUtf8(flags, source, count, Output<char>(target, targetBytes));

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
