// Playing the user of a modal dialog, for tests. A test installs a script; each dialog that
// DialogBoxParamA opens on that thread while the script is installed is then run headless: the
// dialog is created and initialised, the script is called once with the user's side of it, and
// when the script returns with the dialog still open, the user closes it with its close box.
// Each action is delivered as Windows delivers the user's action, followed by the messages it
// posted, so that the script sees the outcome when the action returns.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace platform_testing {

struct ListEntry {
  std::string text;
  LRESULT data = 0;

  bool operator==(const ListEntry&) const = default;
};

class DialogUser {
 public:
  virtual HWND window() const = 0;
  virtual bool ended() const = 0;

  // What the user sees.
  virtual std::string Caption() const = 0;
  virtual std::string ControlText(int controlId) const = 0;
  virtual std::vector<ListEntry> List(int controlId) const = 0;
  // The selected position of a list, or CB_ERR when nothing is selected.
  virtual LRESULT Selection(int controlId) const = 0;
  std::string SelectedText(int controlId) const;

  // What the user does. False when the dialog has ended or the control or entry is not there.
  // Picks the entry at a position of a list, which notifies the dialog with CBN_SELCHANGE.
  virtual bool Select(int controlId, LRESULT position) = 0;
  // Picks the first entry of a list with exactly this text.
  bool SelectText(int controlId, const std::string& text);
  virtual bool Click(int buttonId) = 0;
  virtual bool PressEnter() = 0;   // the default button
  virtual bool PressEscape() = 0;  // Cancel
  virtual bool CloseBox() = 0;

 protected:
  ~DialogUser() = default;
};

using DialogScript = std::function<void(DialogUser&)>;

// Installs a script for the dialogs of the calling thread; the previous one comes back when
// this goes out of scope.
class ScopedDialogScript {
 public:
  explicit ScopedDialogScript(DialogScript script);
  ScopedDialogScript(const ScopedDialogScript&) = delete;
  ScopedDialogScript& operator=(const ScopedDialogScript&) = delete;
  ~ScopedDialogScript();

 private:
  DialogScript script_;
  const DialogScript* previous_;
};

// The next DialogBoxParamA on this thread fails as when its windows cannot be created: it
// returns -1 with ERROR_NOT_ENOUGH_MEMORY and calls no procedure.
void FailNextDialogCreation();

}  // namespace platform_testing
