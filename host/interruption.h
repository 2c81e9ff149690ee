// Interruption while a command writes its output: SIGINT, SIGTERM or SIGHUP (on Windows SIGINT,
// SIGTERM and SIGBREAK). The handler only notes the first signal: the command stops at its next
// step and gives back what it made (its scratch file, and through the filter's close the
// writer's), and the program then ends by that signal, as it would have without the handler.
// A second signal ends the program at once. A signal that was ignored when the watch began
// stays ignored, as the shell or nohup asked.
#pragma once

#include <csignal>

class InterruptionWatch {
 public:
  InterruptionWatch();
  ~InterruptionWatch();  // the earlier handlers return
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

// While one lives, a watched signal ends the program at once, by that signal: around a step
// that may block for as long as another process pleases (opening a pipe that no one reads yet)
// and that holds nothing to give back. A signal noted before ends the program on entry.
class ImmediateInterruption {
 public:
  ImmediateInterruption();
  ~ImmediateInterruption();
  ImmediateInterruption(const ImmediateInterruption&) = delete;
  ImmediateInterruption& operator=(const ImmediateInterruption&) = delete;
};

// A signal has been noted.
bool Interrupted();
// The exit code of a program ended by the noted signal: 128 + its number.
int InterruptedExit();
// Ends the program by the noted signal, if one was noted.
void EndIfInterrupted();
