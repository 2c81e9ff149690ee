// DialogBoxParamA: a modal dialog from a template in a module's resources, run by the calling
// thread's message loop until EndDialog.
#include <dialog_testing.h>

#include "user32/dialog.h"
#include "user32/presentation.h"

namespace user32 {
namespace {

thread_local bool failNextCreation = false;

HWND FirstTabStop(const Dialog& dialog) {
  for (const Control& control : dialog.controls) {
    if (control.IsTabStop()) return control.handle;
  }
  return nullptr;
}

INT_PTR RunModal(Dialog& dialog, LPARAM initParam) {
  const HWND firstTabStop = FirstTabStop(dialog);
  // A procedure that returns nonzero leaves the focus to the dialog manager: the first tab stop.
  if (dialog.procedure(dialog.handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop),
                       initParam)) {
    dialog.focus = firstTabStop;
  }

  DialogSession session(dialog);
  const std::unique_ptr<Presentation> presentation = ChoosePresentation();
  bool userPresent = presentation != nullptr;
  bool closeTried = false;
  while (!dialog.ended) {
    if (DispatchPostedMessage()) continue;
    if (userPresent && presentation->Interact(session)) continue;
    userPresent = false;
    // With nobody left to act, the dialog is closed as with its close box.
    if (!closeTried) {
      closeTried = true;
      session.CloseBox();
      continue;
    }
    // A dialog that does not end on its close box would wait for ever for a user who is gone;
    // it ends as cancelled instead.
    EndDialog(dialog.handle, 0);
  }
  return dialog.result;
}

}  // namespace
}  // namespace user32

void platform_testing::FailNextDialogCreation() { user32::failNextCreation = true; }

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam) {
  // As on Windows, an invalid parent gives 0 and every other failure -1.
  if (parent != nullptr && !IsWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // Without a procedure nothing could end the dialog here.
  if (dialogProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  HRSRC resource = FindResourceA(instance, templateName, RT_DIALOG);
  if (resource == nullptr) return -1;
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, resource)));
  const auto dialogTemplate =
      dialog_resources::DecodeDialogTemplate(data, SizeofResource(instance, resource));
  if (!dialogTemplate) {
    SetLastError(ERROR_INVALID_DATA);
    return -1;
  }

  if (user32::failNextCreation) {
    user32::failNextCreation = false;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
  user32::Dialog dialog;
  user32::CreateDialogWindows(*dialogTemplate, parent, dialogProc, dialog);
  const INT_PTR result = user32::RunModal(dialog, initParam);
  user32::DestroyDialogWindows(dialog);
  return result;
}

}  // extern "C"
