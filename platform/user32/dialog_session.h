// The user's side of a running dialog: what a presentation shows and what it does on the
// user's behalf, each action delivered as Windows delivers it and followed by the messages
// that it posted. The headless script of a test acts through the same object.
#pragma once

#include <dialog_testing.h>

#include "user32/dialog.h"

namespace user32 {

class DialogSession final : public platform_testing::DialogUser {
 public:
  explicit DialogSession(Dialog& dialog) : dialog_(dialog) {}

  Dialog& dialog() const { return dialog_; }

  HWND window() const override { return dialog_.handle; }
  bool ended() const override { return dialog_.ended; }

  std::string Caption() const override { return dialog_.caption; }
  std::string ControlText(int controlId) const override;
  std::vector<platform_testing::ListEntry> List(int controlId) const override;
  LRESULT Selection(int controlId) const override;

  bool Select(int controlId, LRESULT position) override;
  bool Click(int buttonId) override;
  bool PressEnter() override;
  bool PressEscape() override;
  bool CloseBox() override;

 private:
  Control* FindList(int controlId) const;
  // Sends a control's notification to the dialog, then delivers what it posted.
  void Command(WORD controlId, WORD notification, HWND control);
  void DeliverPostedMessages();

  Dialog& dialog_;
};

}  // namespace user32
