// Memory that runs out on the coding workers alone, preloaded into filterhost by the bad-input
// table: with WMAFILTER_WORKER_MEMORY_FAULT set, FFmpeg's allocations that its codecs ask of
// libavutil fail on every thread but the process's first, as they do first when many workers
// share little memory. The main thread allocates as ever.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

bool OnWorker() {
  static const bool armed = std::getenv("WMAFILTER_WORKER_MEMORY_FAULT") != nullptr;
  return armed && gettid() != getpid();
}

// libavutil as loaded: filterhost loads the filter, and so FFmpeg, with dlopen, out of the
// reach of RTLD_NEXT. Its functions are called only once it is loaded.
void* LibAvutil() {
  static void* const handle = [] {
    void* found = nullptr;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* result) {
          if (std::strstr(info->dlpi_name, "/libavutil.so") == nullptr) return 0;
          *static_cast<void**>(result) = dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD);
          return 1;
        },
        &found);
    return found;
  }();
  return handle;
}

template <class Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(LibAvutil(), name));
}

}  // namespace

extern "C" {

struct AVFrame;
struct AVBufferRef;
struct AVBufferPool;

void* av_malloc(std::size_t size) {
  static const auto next = Next<void* (*)(std::size_t)>("av_malloc");
  return OnWorker() ? nullptr : next(size);
}

void* av_mallocz(std::size_t size) {
  static const auto next = Next<void* (*)(std::size_t)>("av_mallocz");
  return OnWorker() ? nullptr : next(size);
}

void* av_realloc(void* block, std::size_t size) {
  static const auto next = Next<void* (*)(void*, std::size_t)>("av_realloc");
  return OnWorker() ? nullptr : next(block, size);
}

AVBufferRef* av_buffer_pool_get(AVBufferPool* pool) {
  static const auto next = Next<AVBufferRef* (*)(AVBufferPool*)>("av_buffer_pool_get");
  return OnWorker() ? nullptr : next(pool);
}

int av_buffer_realloc(AVBufferRef** buffer, std::size_t size) {
  static const auto next = Next<int (*)(AVBufferRef**, std::size_t)>("av_buffer_realloc");
  return OnWorker() ? -ENOMEM : next(buffer, size);
}

int av_frame_ref(AVFrame* target, const AVFrame* source) {
  static const auto next = Next<int (*)(AVFrame*, const AVFrame*)>("av_frame_ref");
  return OnWorker() ? -ENOMEM : next(target, source);
}

int av_frame_get_buffer(AVFrame* frame, int align) {
  static const auto next = Next<int (*)(AVFrame*, int)>("av_frame_get_buffer");
  return OnWorker() ? -ENOMEM : next(frame, align);
}

}  // extern "C"
