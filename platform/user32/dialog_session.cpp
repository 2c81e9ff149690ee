#include "user32/dialog_session.h"

namespace user32 {

std::string DialogSession::ControlText(int controlId) const {
  const Control* control = dialog_.FindControl(controlId);
  return control == nullptr ? std::string() : control->text;
}

Control* DialogSession::FindList(int controlId) const {
  Control* control = dialog_.FindControl(controlId);
  return control != nullptr && control->kind == ControlKind::kComboBox ? control : nullptr;
}

std::vector<platform_testing::ListEntry> DialogSession::List(int controlId) const {
  std::vector<platform_testing::ListEntry> entries;
  if (const Control* control = FindList(controlId)) {
    for (LRESULT i = 0; i < control->list.count(); ++i) {
      entries.push_back({*control->list.Text(i), control->list.ItemData(i)});
    }
  }
  return entries;
}

LRESULT DialogSession::Selection(int controlId) const {
  const Control* control = FindList(controlId);
  return control == nullptr ? CB_ERR : control->list.selection();
}

bool DialogSession::Select(int controlId, LRESULT position) {
  Control* control = FindList(controlId);
  if (dialog_.ended || control == nullptr || control->list.Select(position) == CB_ERR) {
    return false;
  }
  dialog_.focus = control->handle;
  Command(control->id, CBN_SELCHANGE, control->handle);
  return true;
}

bool DialogSession::Click(int buttonId) {
  Control* control = dialog_.FindControl(buttonId);
  if (dialog_.ended || control == nullptr || !control->IsPushButton()) return false;
  dialog_.focus = control->handle;
  Command(control->id, BN_CLICKED, control->handle);
  return true;
}

bool DialogSession::PressEnter() {
  if (dialog_.ended) return false;
  // The default push button, or IDOK when the dialog has none, as the dialog manager does.
  for (const Control& control : dialog_.controls) {
    if (control.IsPushButton() && (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      Command(control.id, BN_CLICKED, control.handle);
      return true;
    }
  }
  Command(IDOK, BN_CLICKED, nullptr);
  return true;
}

bool DialogSession::PressEscape() {
  if (dialog_.ended) return false;
  const Control* cancel = dialog_.FindControl(IDCANCEL);
  Command(IDCANCEL, BN_CLICKED, cancel != nullptr ? cancel->handle : nullptr);
  return true;
}

bool DialogSession::CloseBox() {
  if (dialog_.ended) return false;
  SendMessageA(dialog_.handle, WM_CLOSE, 0, 0);
  DeliverPostedMessages();
  return true;
}

void DialogSession::Command(WORD controlId, WORD notification, HWND control) {
  SendMessageA(dialog_.handle, WM_COMMAND, MAKEWPARAM(controlId, notification),
               reinterpret_cast<LPARAM>(control));
  DeliverPostedMessages();
}

void DialogSession::DeliverPostedMessages() {
  while (!dialog_.ended && DispatchPostedMessage()) {
  }
}

}  // namespace user32

namespace platform_testing {

std::string DialogUser::SelectedText(int controlId) const {
  const std::vector<ListEntry> entries = List(controlId);
  const LRESULT selection = Selection(controlId);
  return selection >= 0 && selection < static_cast<LRESULT>(entries.size())
             ? entries[selection].text
             : std::string();
}

bool DialogUser::SelectText(int controlId, const std::string& text) {
  const std::vector<ListEntry> entries = List(controlId);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].text == text) return Select(controlId, static_cast<LRESULT>(i));
  }
  return false;
}

}  // namespace platform_testing
