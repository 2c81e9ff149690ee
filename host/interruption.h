// Interruption while a command writes its output: SIGINT, SIGTERM or SIGHUP (on Windows SIGINT,
// SIGTERM and SIGBREAK). The handler notes the first signal: the command stops at its next
// step and gives back what it made (its scratch file, and through the filter's close the
// writer's), and the program then ends by that signal, as it would have without the handler.
// Later signals, of any number and kind, end nothing while the run holds a scratch file (see
// CleanUpBeforeEnding): its clean-up is at most a step away, and cutting it short would leave
// files behind (a Ctrl-C reaches a program under `timeout` twice). Holding none, a later signal
// ends the program at once, by the first signal (or as a success once the output is in place,
// see OutputInPlace). A signal that was ignored when the watch began
// stays ignored, as the shell or nohup asked.
#pragma once

#include <csignal>

class InterruptionWatch {
 public:
  InterruptionWatch();
  ~InterruptionWatch();  // the earlier handlers return, unless a signal was noted or the
                         // output is in place
  InterruptionWatch(const InterruptionWatch&) = delete;
  InterruptionWatch& operator=(const InterruptionWatch&) = delete;

 private:
#ifdef _WIN32
  using Handling = void (*)(int);
#else
  using Handling = struct sigaction;
#endif
  Handling saved_[3];  // for each signal watched
};

// While one lives, a watched signal ends the program at once, by the first signal: around a
// step that may block for as long as another process pleases (opening a pipe that no one reads
// yet) and that holds nothing to give back. A signal noted before ends the program on entry.
class ImmediateInterruption {
 public:
  ImmediateInterruption();
  ~ImmediateInterruption();
  ImmediateInterruption(const ImmediateInterruption&) = delete;
  ImmediateInterruption& operator=(const ImmediateInterruption&) = delete;
};

// While one lives, the run holds a scratch file that it removes before it ends: a later signal
// leaves the program to that clean-up rather than ending it at once.
class CleanUpBeforeEnding {
 public:
  CleanUpBeforeEnding();
  ~CleanUpBeforeEnding();
  CleanUpBeforeEnding(const CleanUpBeforeEnding&) = delete;
  CleanUpBeforeEnding& operator=(const CleanUpBeforeEnding&) = delete;
};

// The command's output has taken its name: the run is a success from now on, and a later signal
// that ends it at once ends it with status 0, as main does for a signal noted by then.
void OutputInPlace();

// A signal has been noted.
bool Interrupted();
// The exit code of a program ended by the noted signal: 128 + its number.
int InterruptedExit();
// Ends the program by the noted signal, if one was noted.
void EndIfInterrupted();
