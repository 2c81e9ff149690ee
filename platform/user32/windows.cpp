// Window handles, messages and the posted-message queue of the dialog manager.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>

#include "user32/dialog.h"

namespace user32 {
namespace {

struct PostedMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

thread_local std::vector<Dialog*> liveDialogs;
thread_local std::deque<PostedMessage> postedMessages;

// Handles are unique in the process, so that one never names another thread's window.
HWND NewWindowHandle() {
  static std::atomic<ULONG_PTR> next{0x10000};
  return reinterpret_cast<HWND>(next.fetch_add(4));
}

ControlKind KindOfClass(const dialog_resources::NameOrOrdinal& windowClass) {
  if (!windowClass.ordinal) return ControlKind::kOther;
  switch (*windowClass.ordinal) {
    case dialog_resources::kButtonClass:
      return ControlKind::kButton;
    case dialog_resources::kStaticClass:
      return ControlKind::kStatic;
    case dialog_resources::kComboBoxClass:
      return ControlKind::kComboBox;
    default:
      return ControlKind::kOther;
  }
}

std::string ToAnsi(const std::u16string& text) {
  if (text.empty()) return {};
  std::string ansi(text.size(), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(),
                      static_cast<int>(ansi.size()), nullptr, nullptr);
  return ansi;
}

Control* FindControlAnywhere(HWND window, Dialog** owner) {
  for (Dialog* dialog : liveDialogs) {
    if (Control* control = dialog->FindControl(window)) {
      if (owner != nullptr) *owner = dialog;
      return control;
    }
  }
  return nullptr;
}

LRESULT TextMessage(std::string& text, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      text = lParam == 0 ? std::string() : std::string(reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text.size());
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const std::size_t copied = std::min<std::size_t>(text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), text.data(), copied);
      reinterpret_cast<char*>(lParam)[copied] = '\0';
      return static_cast<LRESULT>(copied);
    }
    default:
      return 0;
  }
}

LRESULT ControlMessage(Dialog& owner, Control& control, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  if (message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH) {
    return TextMessage(control.text, message, wParam, lParam);
  }
  if (control.kind == ControlKind::kComboBox) return control.list.Message(message, wParam, lParam);
  if (control.kind == ControlKind::kButton && message == BM_CLICK) {
    SendMessageA(owner.handle, WM_COMMAND, MAKEWPARAM(control.id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control.handle));
  }
  return 0;
}

LRESULT DialogMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const INT_PTR handled = dialog.procedure(dialog.handle, message, wParam, lParam);
  // What the dialog manager does with a close that the procedure left alone: cancel.
  if (!handled && message == WM_CLOSE) {
    Control* cancel = dialog.FindControl(IDCANCEL);
    SendMessageA(dialog.handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel != nullptr ? cancel->handle : nullptr));
  }
  return handled;
}

}  // namespace

bool Control::IsTabStop() const { return (style & WS_TABSTOP) && !(style & WS_DISABLED); }

bool Control::IsPushButton() const {
  const DWORD type = style & BS_TYPEMASK;
  return kind == ControlKind::kButton && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

Control* Dialog::FindControl(int controlId) {
  for (Control& control : controls) {
    if (control.id == static_cast<WORD>(controlId)) return &control;
  }
  return nullptr;
}

Control* Dialog::FindControl(HWND window) {
  for (Control& control : controls) {
    if (control.handle == window) return &control;
  }
  return nullptr;
}

void CreateDialogWindows(const dialog_resources::DialogTemplate& dialogTemplate, HWND parent,
                         DLGPROC procedure, Dialog& dialog) {
  dialog.handle = NewWindowHandle();
  dialog.parent = parent;
  dialog.procedure = procedure;
  dialog.style = dialogTemplate.style;
  dialog.cx = dialogTemplate.cx;
  dialog.cy = dialogTemplate.cy;
  dialog.caption = ToAnsi(dialogTemplate.caption);
  for (const dialog_resources::DialogControl& item : dialogTemplate.controls) {
    Control control;
    control.handle = NewWindowHandle();
    control.id = item.id;
    control.kind = KindOfClass(item.windowClass);
    control.style = item.style;
    control.x = item.x;
    control.y = item.y;
    control.cx = item.cx;
    control.cy = item.cy;
    control.text = ToAnsi(item.text.text);
    control.list = ComboBox((item.style & CBS_SORT) != 0);
    dialog.controls.push_back(std::move(control));
  }
  liveDialogs.push_back(&dialog);
}

void DestroyDialogWindows(Dialog& dialog) {
  std::erase(liveDialogs, &dialog);
  std::erase_if(postedMessages, [&](const PostedMessage& posted) {
    return posted.window == dialog.handle || dialog.FindControl(posted.window) != nullptr;
  });
}

Dialog* FindDialog(HWND window) {
  for (Dialog* dialog : liveDialogs) {
    if (dialog->handle == window) return dialog;
  }
  return nullptr;
}

bool DispatchPostedMessage() {
  if (postedMessages.empty()) return false;
  const PostedMessage posted = postedMessages.front();
  postedMessages.pop_front();
  SendMessageA(posted.window, posted.message, posted.wParam, posted.lParam);
  return true;
}

}  // namespace user32

using user32::Dialog;
using user32::FindDialog;

extern "C" {

BOOL WINAPI IsWindow(HWND window) {
  return window != nullptr &&
         (FindDialog(window) != nullptr || user32::FindControlAnywhere(window, nullptr) != nullptr);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Dialog* dialog = FindDialog(window)) {
    return user32::DialogMessage(*dialog, message, wParam, lParam);
  }
  Dialog* owner = nullptr;
  if (user32::Control* control = user32::FindControlAnywhere(window, &owner)) {
    return user32::ControlMessage(*owner, *control, message, wParam, lParam);
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return 0;
}

HWND WINAPI GetDlgItem(HWND dialogWindow, int controlId) {
  Dialog* dialog = FindDialog(dialogWindow);
  if (dialog == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  user32::Control* control = dialog->FindControl(controlId);
  if (control == nullptr) {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
  }
  return control->handle;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int controlId, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  HWND control = GetDlgItem(dialog, controlId);
  return control == nullptr ? 0 : SendMessageA(control, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  user32::postedMessages.push_back({window, message, wParam, lParam});
  return TRUE;
}

BOOL WINAPI EndDialog(HWND dialogWindow, INT_PTR result) {
  Dialog* dialog = FindDialog(dialogWindow);
  if (dialog == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // The modal loop ends once the message being handled returns.
  dialog->ended = true;
  dialog->result = result;
  return TRUE;
}

}  // extern "C"
