#include "interruption.h"

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

volatile std::sig_atomic_t noted = 0;
volatile std::sig_atomic_t endAtOnce = 0;

// Async-signal-safe: it only stores the number. The handler is then the default one again,
// reset by the system, so that a second signal ends the program at once. Within an
// ImmediateInterruption the signal is raised again, and its default action ends the program
// as soon as the handler returns.
extern "C" void NoteSignal(int signal) {
  if (noted == 0) noted = signal;
  if (endAtOnce != 0) std::raise(signal);
}

}  // namespace

#ifdef _WIN32
InterruptionWatch::InterruptionWatch() {
  // Windows' signal() resets the handler when it runs, as SA_RESETHAND does.
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    saved_[i] = std::signal(kSignals[i], NoteSignal);
    if (saved_[i] == SIG_IGN) std::signal(kSignals[i], SIG_IGN);
  }
}

InterruptionWatch::~InterruptionWatch() {
  for (std::size_t i = 0; i < kSignalCount; ++i) std::signal(kSignals[i], saved_[i]);
}
#else
InterruptionWatch::InterruptionWatch() {
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: the command looks at the note between its steps.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    sigaction(kSignals[i], nullptr, &saved_[i]);
    if (saved_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
  }
}

InterruptionWatch::~InterruptionWatch() {
  for (std::size_t i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
}
#endif

ImmediateInterruption::ImmediateInterruption() {
  endAtOnce = 1;
  EndIfInterrupted();
}

ImmediateInterruption::~ImmediateInterruption() { endAtOnce = 0; }

bool Interrupted() { return noted != 0; }

int InterruptedExit() { return 128 + noted; }

void EndIfInterrupted() {
  if (noted == 0) return;
  const int signal = noted;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);  // only if the default action did not end the program
}
