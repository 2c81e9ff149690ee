// Running out of memory is a failed call, never an abort. The runtime's own blocks come from
// nothrow new or av_malloc and are checked where they are made. What the standard library
// allocates (containers, strings, shared ownership) reports failure only by throwing
// std::bad_alloc, so the runtime is built with exceptions for that alone: nothing in it throws
// on its own, and the exception is caught where work enters the runtime, every method of its
// objects (com_boundary.h), and where a job starts on a worker thread, and becomes
// E_OUTOFMEMORY there. (The encoder also catches it, to give up its scratch file at once.)
#pragma once

#include <new>
#include <utility>

#include <windows.h>

namespace wmvcore {

template <class Work>
HRESULT OutOfMemoryAsFailure(Work&& work) noexcept {
  try {
    return std::forward<Work>(work)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace wmvcore
