// How a running dialog meets its user: a test's script, a person at a terminal, or nobody.
#pragma once

#include <memory>

#include "user32/dialog_session.h"

namespace user32 {

class Presentation {
 public:
  virtual ~Presentation() = default;
  // Shows the dialog, waits for the user's next action and performs it through the session.
  // False when the user can act no more (the script is done, the terminal has closed).
  virtual bool Interact(DialogSession& session) = 0;
};

// The script installed on this thread by a test; else the terminal, when standard input and
// output both are one; else none, and the dialog is closed without waiting for anyone.
std::unique_ptr<Presentation> ChoosePresentation();

// A person at the terminal of these descriptors; null when either is not a terminal.
std::unique_ptr<Presentation> MakeTerminalPresentation(int input, int output);

}  // namespace user32
