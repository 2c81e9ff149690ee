// The filter's own memory comes from the process heap, so that a test can fail any allocation.
#pragma once

#include <cstddef>

#include <windows.h>

inline void* HeapAllocate(std::size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }
inline void* HeapAllocateZeroed(std::size_t bytes) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}
inline void HeapRelease(void* memory) {
  if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

// A heap block of a given size in bytes, freed when it goes out of scope. Empty (null) when
// the allocation failed.
template <class T = BYTE>
class HeapBuffer {
 public:
  HeapBuffer() = default;
  explicit HeapBuffer(std::size_t bytes) : data_(static_cast<T*>(HeapAllocate(bytes))) {}
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  HeapBuffer(HeapBuffer&& other) noexcept : data_(other.release()) {}
  HeapBuffer& operator=(HeapBuffer&& other) noexcept {
    if (this != &other) {
      HeapRelease(data_);
      data_ = other.release();
    }
    return *this;
  }
  ~HeapBuffer() { HeapRelease(data_); }

  // Takes over a block that the caller allocated with HeapAllocate.
  static HeapBuffer Adopt(T* data) {
    HeapBuffer owned;
    owned.data_ = data;
    return owned;
  }

  T* get() const { return data_; }
  T& operator[](std::size_t index) const { return data_[index]; }
  explicit operator bool() const { return data_ != nullptr; }

  [[nodiscard]] T* release() {
    T* released = data_;
    data_ = nullptr;
    return released;
  }

 private:
  T* data_ = nullptr;
};

// Room for a UTF-16 text of the given units and a terminator of its own, already set: a text
// that the runtime fills without terminating it within its length still ends there.
inline HeapBuffer<WCHAR> AllocateWideText(std::size_t units) {
  HeapBuffer<WCHAR> text(2 * (units + 1));
  if (text) text[units] = 0;
  return text;
}

// Ends a text made by AllocateWideText(capacity) at the length that the runtime's second call
// reported, when that is shorter: units past it were never written.
inline void EndWideText(HeapBuffer<WCHAR>& text, std::size_t capacity, std::size_t reported) {
  text[reported < capacity ? reported : capacity] = 0;
}
