#include "pipeline/worker_pool.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <system_error>

#include "base/settings.h"
#include "com/out_of_memory.h"

namespace wmvcore {

namespace {

// The cores this process may run on, which taskset, cgroups' cpusets or an affinity mask the
// user chose can make fewer than the machine's: workers beyond them only take turns.
unsigned UsableCores() {
#ifdef _WIN32
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
    return static_cast<unsigned>(std::popcount(static_cast<std::uintptr_t>(process)));
#else
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof(cores), &cores) == 0)
    return static_cast<unsigned>(CPU_COUNT(&cores));
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace

// A writer asks at BeginWriting and a reader when its first packet is decoded, both on the
// caller's thread. The ceiling keeps what is in flight (a codec and a few segments of audio a
// worker) modest in the 32-bit address space of the Windows build.
unsigned CodingThreads() {
  if (const unsigned long asked = settings::ThreadsAsked(); asked >= 1)
    return static_cast<unsigned>(std::min<unsigned long>(asked, kMaxCodingThreads));
  return std::clamp(UsableCores(), 1u, kMaxCodingThreads);
}

// std::thread reports a thread it cannot start only by throwing, and the pool then works with
// the threads it has.
WorkerPool::WorkerPool(unsigned threads) {
  workers_.reserve(threads);
  for (unsigned worker = 0; worker < threads; ++worker) {
    try {
      workers_.emplace_back([this, worker] { Work(worker); });
    } catch (const std::system_error&) {
      break;
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  waiting_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void WorkerPool::Submit(std::unique_ptr<WorkerJob> job) {
  auto slot = std::make_unique<Slot>();
  slot->job = std::move(job);
  {
    std::lock_guard lock(mutex_);
    toRun_.push_back(slot.get());
    slots_.push_back(std::move(slot));
  }
  waiting_.notify_one();
}

bool WorkerPool::OldestDone() {
  std::lock_guard lock(mutex_);
  return !slots_.empty() && slots_.front()->done;
}

std::unique_ptr<WorkerJob> WorkerPool::TakeOldestJob() {
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [this] { return slots_.front()->done; });
  std::unique_ptr<WorkerJob> job = std::move(slots_.front()->job);
  slots_.pop_front();
  return job;
}

void WorkerPool::Work(unsigned worker) {
  std::unique_lock lock(mutex_);
  for (;;) {
    waiting_.wait(lock, [this] { return stopping_ || !toRun_.empty(); });
    if (stopping_) return;
    Slot* slot = toRun_.front();
    toRun_.pop_front();
    lock.unlock();
    WorkerJob& job = *slot->job;
    job.result = OutOfMemoryAsFailure([&] { return job.Run(worker); });
    lock.lock();
    slot->done = true;
    finished_.notify_all();
  }
}

}  // namespace wmvcore
