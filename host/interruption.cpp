#include "interruption.h"

#include <atomic>
#include <cstdlib>
#include <iterator>

namespace {

#ifdef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif
constexpr std::size_t kSignalCount = std::size(kSignals);
static_assert(kSignalCount == 3, "InterruptionWatch keeps three earlier handlings");

// Shared with the handler, which may run on any of the runtime's threads: lock-free atomics are
// safe to touch there.
std::atomic<int> noted{0};
std::atomic<int> endAtOnce{0};
std::atomic<int> scratchFilesHeld{0};
std::atomic<int> outputPlaced{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Ends the program by the noted signal: its default action, or failing that an exit with its
// status. Async-signal-safe.
[[noreturn]] void EndByNotedSignal() {
  const int signal = noted.load();
#ifdef _WIN32
  std::signal(signal, SIG_DFL);
  std::raise(signal);
#else
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  std::raise(signal);
  // Inside that very signal's handler it is blocked until let through here.
  sigset_t raised;
  sigemptyset(&raised);
  sigaddset(&raised, signal);
  sigprocmask(SIG_UNBLOCK, &raised, nullptr);
#endif
  std::_Exit(128 + signal);  // only if the default action did not end the program
}

// Notes the first signal; ends the program by it when asked to at once, or when a later signal
// comes while no scratch file waits to be removed.
extern "C" void NoteSignal(int signal) {
#ifdef _WIN32
  std::signal(signal, NoteSignal);  // Windows resets the handling before the handler runs
#endif
  int none = 0;
  const bool first = noted.compare_exchange_strong(none, signal);
  if (endAtOnce.load() == 0 && (first || scratchFilesHeld.load() != 0)) return;
  if (outputPlaced.load() != 0) std::_Exit(0);
  EndByNotedSignal();
}

}  // namespace

#ifdef _WIN32
InterruptionWatch::InterruptionWatch() {
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    saved_[i] = std::signal(kSignals[i], NoteSignal);
    if (saved_[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
  }
}

InterruptionWatch::~InterruptionWatch() {
  if (Interrupted() || outputPlaced.load() != 0) return;
  for (std::size_t i = 0; i < kSignalCount; ++i) std::signal(kSignals[i], saved_[i]);
}
#else
InterruptionWatch::InterruptionWatch() {
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: the command looks at the note between its steps. The
  // handler stays for later signals.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    sigaction(kSignals[i], nullptr, &saved_[i]);
    if (saved_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
  }
}

// Once a signal is noted the handler stays, so that a later one still ends the run by the
// first until the program ends by it; once the output is in place it stays too, so that a signal
// on the way out does not make the finished run a failure.
InterruptionWatch::~InterruptionWatch() {
  if (Interrupted() || outputPlaced.load() != 0) return;
  for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
}
#endif

ImmediateInterruption::ImmediateInterruption() {
  endAtOnce = 1;
  EndIfInterrupted();
}

ImmediateInterruption::~ImmediateInterruption() { endAtOnce = 0; }

CleanUpBeforeEnding::CleanUpBeforeEnding() { ++scratchFilesHeld; }

CleanUpBeforeEnding::~CleanUpBeforeEnding() { --scratchFilesHeld; }

void OutputInPlace() { outputPlaced = 1; }

bool Interrupted() { return noted.load() != 0; }

int InterruptedExit() { return 128 + noted.load(); }

void EndIfInterrupted() {
  if (noted.load() != 0) EndByNotedSignal();
}
