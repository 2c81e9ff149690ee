// Worker threads for the writer's encoding and the reader's decoding. A pool runs jobs in the
// order they are submitted and hands them back in that order once each is done, so the caller
// joins their results as one coder would have made them. Jobs only do codec work on data they
// own, and may make the sample buffers they convert into, which the caller takes over with the
// job; everything else (muxing, the caller's objects) stays on the caller's thread. The pool's
// owner is its only caller, from one thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <windows.h>

namespace wmvcore {

// How many threads a writer or a reader codes on: WMAFILTER_THREADS when it holds a whole
// number from 1 up, else the cores the process may run on; at most kMaxCodingThreads. 1 means
// the single coder on the caller's thread, with no worker at all.
unsigned CodingThreads();
inline constexpr unsigned kMaxCodingThreads = 16;

class WorkerJob {
 public:
  virtual ~WorkerJob() = default;
  // Runs on worker `worker` (0 up to the pool's thread count), which runs one job at a time;
  // its result, E_OUTOFMEMORY when memory ran out, is the job's `result` once it is done.
  virtual HRESULT Run(unsigned worker) = 0;

  HRESULT result = S_OK;
};

class WorkerPool {
 public:
  // Starts up to `threads` workers; threads() says how many did (0 when none could start).
  explicit WorkerPool(unsigned threads);
  // Lets running jobs end, drops the ones still waiting, and joins every worker.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned threads() const { return static_cast<unsigned>(workers_.size()); }
  void Submit(std::unique_ptr<WorkerJob> job);
  // Jobs submitted and not yet taken back.
  std::size_t InFlight() const { return slots_.size(); }
  bool OldestDone();
  // The oldest job, once it is done (it waits for it). There must be one in flight.
  std::unique_ptr<WorkerJob> TakeOldestJob();
  template <class Job>
  std::unique_ptr<Job> TakeOldest() {
    return std::unique_ptr<Job>(static_cast<Job*>(TakeOldestJob().release()));
  }

 private:
  struct Slot {
    std::unique_ptr<WorkerJob> job;
    bool done = false;
  };
  void Work(unsigned worker);

  std::mutex mutex_;
  std::condition_variable waiting_;          // workers: a job to run, or the end
  std::condition_variable finished_;         // the owner: a job is done
  std::deque<std::unique_ptr<Slot>> slots_;  // in submission order; only the owner changes it
  std::deque<Slot*> toRun_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace wmvcore
