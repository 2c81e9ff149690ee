// The options dialog: FilterGetOptions runs it modally from the module's own template and
// procedure, and DIALOGMsgProc answers its messages. The dialog keeps its whole state in its
// three lists; the incoming word is read only while it initialises.
#include "filter/filter_api.h"
#include "options/encoder_options.h"
#include "options/list_fillers.h"
#include "options/options_resource.h"

namespace {

constexpr char kConstantBitRate[] = "CBR";
constexpr char kVariableBitRate[] = "VBR";

// The mode list's selection: position 0 is constant and 1 variable bit rate.
BOOL SelectedMode(HWND window) {
  return static_cast<BOOL>(SendDlgItemMessageA(window, IDC_MODE, CB_GETCURSEL, 0, 0));
}

// Selects the format list's first entry whose datum is the format index; when none is, the
// selection stays where it was.
void SelectFormat(HWND window, DWORD formatIndex) {
  const LRESULT count = SendDlgItemMessageA(window, IDC_FORMAT, CB_GETCOUNT, 0, 0);
  for (LRESULT position = 0; position < count; ++position) {
    const auto at = static_cast<WPARAM>(position);
    if (SendDlgItemMessageA(window, IDC_FORMAT, CB_GETITEMDATA, at, 0) ==
        static_cast<LRESULT>(formatIndex)) {
      SendDlgItemMessageA(window, IDC_FORMAT, CB_SETCURSEL, at, 0);
      return;
    }
  }
}

void InitialiseDialog(HWND window, DWORD options) {
  SendDlgItemMessageA(window, IDC_MODE, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(kConstantBitRate));
  SendDlgItemMessageA(window, IDC_MODE, CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(kVariableBitRate));
  const EncoderChoice choice = ReadEncoderOptions(ResolveEncoderOptions(options));
  SendDlgItemMessageA(window, IDC_MODE, CB_SETCURSEL, choice.variableBitRate ? 1 : 0, 0);
  FillCodecList(window, choice.variableBitRate, choice.codecIndex);
  SelectFormat(window, choice.formatIndex);
}

void AcceptChoice(HWND window) {
  const LRESULT codec = SelectedItemData(window, IDC_CODEC);
  const LRESULT format = SelectedItemData(window, IDC_FORMAT);
  // An empty list has no selection and so no choice to report (its datum reads as CB_ERR), and
  // an index the word cannot hold would name another codec: the dialog then ends as cancelled,
  // and the host keeps the word it had.
  if (codec < 0 || static_cast<DWORD>(codec) > kMaxCodecIndex || format < 0 ||
      static_cast<DWORD>(format) > kMaxFormatIndex) {
    EndDialog(window, 0);
    return;
  }
  // Constant bit rate, codec 0, format 0 builds 0, which FilterGetOptions cannot return and
  // every reader would take for the default; the word is marked then, to keep the choice.
  const DWORD options = ChoiceEncoderOptions(static_cast<DWORD>(codec), static_cast<DWORD>(format),
                                             SelectedMode(window) != 0);
  EndDialog(window, static_cast<INT_PTR>(options));
}

INT_PTR HandleCommand(HWND window, WORD control, WORD notification) {
  switch (control) {
    case IDOK:
      AcceptChoice(window);
      return TRUE;
    case IDCANCEL:
      EndDialog(window, 0);
      return TRUE;
    case IDC_MODE:
      // A new mode starts again from codec 0; the earlier codec and format are not kept.
      if (notification == CBN_SELCHANGE) FillCodecList(window, SelectedMode(window), 0);
      return TRUE;
    case IDC_CODEC:
      if (notification == CBN_SELCHANGE) {
        FillFormatList(window, SelectedMode(window),
                       static_cast<DWORD>(SelectedItemData(window, IDC_CODEC)));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

DWORD WINAPI FilterGetOptions(HWND parent, HINSTANCE module, LONG /*unused1*/, LONG /*unused2*/,
                              LONG /*unused3*/, DWORD options) {
  // Template and procedure both come from the module the host passed. A module without the
  // procedure is not this filter: there is no dialog to show, and the word stays as it is.
  const auto procedure = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DIALOGMsgProc")));
  if (procedure == nullptr) return options;
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCE(IDD_OPTIONS), parent, procedure,
                                         static_cast<LPARAM>(options));
  // 0: cancelled, or the parent window was invalid. -1: the dialog could not be created; no
  // word that OK builds is -1, since bits 24-30 of a built word are never all set.
  if (result == 0 || result == -1) return options;
  return static_cast<DWORD>(result);
}

INT_PTR WINAPI DIALOGMsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitialiseDialog(window, static_cast<DWORD>(lParam));
      return TRUE;  // the dialog manager focuses the first tab stop, the mode list
    case WM_CLOSE:
      // The close box cancels, through the command that the Cancel button sends.
      PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    case WM_COMMAND:
      return HandleCommand(window, LOWORD(wParam), HIWORD(wParam));
    default:
      return FALSE;
  }
}
