// Little-endian reading and writing of ASF's fixed-width fields. The reader checks every read
// against the end of its bytes: a read past the end fails and leaves the reader failed, so a
// parser can read a whole record and test once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/wide_text.h"

namespace wmvcore {

using Bytes = std::vector<BYTE>;

class ByteReader {
 public:
  explicit ByteReader(std::span<const BYTE> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::size_t remaining() const { return ok_ ? bytes_.size() - position_ : 0; }
  std::size_t position() const { return position_; }

  WORD Word() { return static_cast<WORD>(Unsigned(2)); }
  DWORD Dword() { return static_cast<DWORD>(Unsigned(4)); }
  QWORD Qword() { return Unsigned(8); }
  BYTE Byte() { return static_cast<BYTE>(Unsigned(1)); }
  GUID Guid() {
    GUID guid{};
    guid.Data1 = Dword();
    guid.Data2 = Word();
    guid.Data3 = Word();
    const auto tail = Take(8);
    if (tail.size() == 8) std::memcpy(guid.Data4, tail.data(), 8);
    return guid;
  }

  // The next `count` bytes, or an empty span (and a failed reader) when fewer remain.
  std::span<const BYTE> Take(std::size_t count) {
    if (!ok_ || count > bytes_.size() - position_) {
      ok_ = false;
      return {};
    }
    const auto taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }

  // UTF-16 text of `bytes` bytes, cut at its first NUL (stored strings usually end in one).
  WideString Text(std::size_t bytes) {
    const auto raw = Take(bytes);
    WideString text;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
      const WCHAR unit = static_cast<WCHAR>(raw[i] | (raw[i + 1] << 8));
      if (unit == 0) break;
      text.push_back(unit);
    }
    return text;
  }

 private:
  QWORD Unsigned(std::size_t width) {
    const auto raw = Take(width);
    QWORD value = 0;
    for (std::size_t i = raw.size(); i > 0; --i) value = (value << 8) | raw[i - 1];
    return value;
  }

  std::span<const BYTE> bytes_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  void Word(WORD value) { Unsigned(value, 2); }
  void Dword(DWORD value) { Unsigned(value, 4); }
  void Qword(QWORD value) { Unsigned(value, 8); }
  void Byte(BYTE value) { bytes_.push_back(value); }
  void Guid(const GUID& guid) {
    Dword(guid.Data1);
    Word(guid.Data2);
    Word(guid.Data3);
    Append(std::span<const BYTE>(guid.Data4, 8));
  }
  void Append(std::span<const BYTE> raw) { bytes_.insert(bytes_.end(), raw.begin(), raw.end()); }
  // UTF-16 text with its terminator.
  void Text(const WideString& text) {
    for (WCHAR unit : text) Word(unit);
    Word(0);
  }
  // Overwrites a 64-bit field written earlier, for sizes known only at the end.
  void PatchQword(std::size_t offset, QWORD value) {
    for (std::size_t i = 0; i < 8; ++i) bytes_[offset + i] = static_cast<BYTE>(value >> (8 * i));
  }

  std::size_t size() const { return bytes_.size(); }
  Bytes& bytes() { return bytes_; }

 private:
  void Unsigned(QWORD value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bytes_.push_back(static_cast<BYTE>(value >> (8 * i)));
  }

  Bytes bytes_;
};

// Bytes of a UTF-16 text with its terminator, as attribute values carry it.
inline std::size_t TextBytes(const WideString& text) { return 2 * (text.size() + 1); }

}  // namespace wmvcore
