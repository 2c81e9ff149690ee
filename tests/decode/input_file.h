// An input file opened through the filter's exports for the life of the object, with the four
// targets of the open preset to sentinels, so that a failed open can be seen to leave them.
#pragma once

#include <vector>

#include <windows.h>

#include "filter/filter_api.h"

class InputFile {
 public:
  explicit InputFile(LPCSTR name = "song.wma") {
    handle_ = OpenFilterInput(name, &rate, &bits, &channels, 0x5555, &chunkSize);
  }
  ~InputFile() { CloseFilterInput(handle_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  FilterHandle handle() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  // Asks for `count` bytes; the bytes delivered.
  std::vector<BYTE> Read(LONG count) {
    std::vector<BYTE> bytes(count > 0 ? count : 0);
    const LONG delivered = ReadFilterInput(handle_, bytes.data(), count);
    bytes.resize(delivered > 0 ? delivered : 0);
    return bytes;
  }

  static constexpr LONG kUnwritten32 = static_cast<LONG>(0xdeadbeef);
  static constexpr WORD kUnwritten16 = 0xAAAA;

  LONG rate = kUnwritten32;
  WORD bits = kUnwritten16;
  WORD channels = kUnwritten16;
  LONG chunkSize = kUnwritten32;

 private:
  FilterHandle handle_ = nullptr;
};
