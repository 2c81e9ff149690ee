// The windows of the dialog manager: a dialog made from a template, its controls, and the
// calling thread's registry of live dialogs and queue of posted messages. Windows belong to
// the thread that created them; other threads see their handles as invalid.
#pragma once

#include <string>
#include <vector>

#include <dialog_resources.h>
#include <windows.h>

#include "user32/combo_box.h"

namespace user32 {

enum class ControlKind { kButton, kStatic, kComboBox, kOther };

struct Control {
  HWND handle = nullptr;
  WORD id = 0;
  ControlKind kind = ControlKind::kOther;
  DWORD style = 0;
  SHORT x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string text;                    // in the ANSI code page
  ComboBox list{false};                // the entries of a combo box

  bool IsTabStop() const;
  bool IsPushButton() const;
};

struct Dialog {
  HWND handle = nullptr;
  HWND parent = nullptr;
  DLGPROC procedure = nullptr;
  DWORD style = 0;
  SHORT cx = 0, cy = 0;  // dialog units
  std::string caption;
  std::vector<Control> controls;  // in template order, which is the tab order
  HWND focus = nullptr;
  bool ended = false;
  INT_PTR result = 0;

  Control* FindControl(int controlId);
  Control* FindControl(HWND window);
};

// Builds the dialog's windows from the template and registers them on this thread.
void CreateDialogWindows(const dialog_resources::DialogTemplate& dialogTemplate, HWND parent,
                         DLGPROC procedure, Dialog& dialog);
// Unregisters the dialog and drops the messages still posted to it or its controls.
void DestroyDialogWindows(Dialog& dialog);

Dialog* FindDialog(HWND window);

// Delivers the oldest message posted on this thread; false when none was waiting.
bool DispatchPostedMessage();

}  // namespace user32
