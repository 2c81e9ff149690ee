// options_dialog_check: opens the filter's encoder options dialog through FilterGetOptions, as
// the editor does, and plays the user. It finds the dialog by its caption, checks the seven
// controls (identifiers, classes, texts, styles, places), saves a screenshot of the first
// opening, and ends each opening of dialog_visits.h in one of the ways a user can: the Cancel
// button, the Escape key, the close box or OK. It prints what each opening showed and gave.
//
// usage: options_dialog_check WMAFILTER.DLL SCREENSHOT.bmp (--no-codecs | --choices TABLE)
//   --no-codecs      the media runtime enumerates no codecs (Wine's has no IWMCodecInfo3): the
//                    codec and format lists must be empty, and every ending, OK too, having
//                    nothing to report, must hand back the incoming word
//   --choices TABLE  each choice of the table is also made through the controls; what the
//                    openings showed and gave is held by the calling script to the native
//                    dialog's report over the same runtime (dialog_report)
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "checks.h"
#include "dialog_visits.h"
#include "filter/filter_api.h"
#include "screenshot.h"

namespace {

constexpr char kCaption[] = "Windows Media Audio Options";
constexpr char kDialogClass[] = "#32770";
constexpr UINT kTickMilliseconds = 50;
constexpr int kTicksToFindTheDialog = 200;
constexpr int kTicksToSettle = 10;

// The seven controls in creation order, places in dialog units (a combo box's height is its
// dropped-down extent, so only its top, left and width are compared).
struct ControlShape {
  WORD id;
  const char* windowClass;
  const char* text;  // nullptr: a list's selection or the about text, checked on their own
  DWORD style;
  RECT place;  // left, top, width, height
};
constexpr ControlShape kControls[] = {
    {1006, "ComboBox", nullptr, 0x50210003, {14, 75, 35, 40}},
    {1004, "ComboBox", nullptr, 0x50210103, {56, 75, 146, 80}},
    {1005, "ComboBox", nullptr, 0x50210103, {14, 94, 188, 80}},
    {IDOK, "Button", "OK", 0x50010001, {101, 122, 50, 14}},
    {IDCANCEL, "Button", "Cancel", 0x50010000, {159, 122, 50, 14}},
    {0xFFFF, "Static", nullptr, 0x50020001, {7, 7, 202, 51}},
    {0xFFFF, "Button", "Encoder Settings", 0x50000007, {7, 62, 202, 53}},
};
constexpr int kModeList = 1006;
constexpr int kCodecList = 1004;
constexpr int kFormatList = 1005;

// An opening of the dialog in progress: which one, and what the user saw.
struct Opening {
  DialogVisit visit;
  std::string screenshot;
  bool noCodecs;
  Checks* checks;
  DialogSight sight;
  UINT_PTR timer = 0;
  int ticks = 0;
  bool found = false;
  int foundAt = 0;
};

// Timer callbacks carry no data of their own: the opening in progress is reached through this
// pointer, set only while FilterGetOptions runs its modal loop.
Opening* g_opening = nullptr;

std::string Hex(DWORD value) {
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(value));
  return text;
}

std::string Describe(const RECT& rect) {
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + " to " +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

std::string TextOf(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

std::string ListText(HWND dialog, int list, WPARAM position) {
  char text[256] = {};
  if (SendDlgItemMessageA(dialog, list, CB_GETLBTEXTLEN, position, 0) >= LRESULT{sizeof(text)}) {
    return "(too long)";
  }
  SendDlgItemMessageA(dialog, list, CB_GETLBTEXT, position, reinterpret_cast<LPARAM>(text));
  return text;
}

void CheckControl(HWND dialog, HWND control, const ControlShape& shape, Checks& checks) {
  const std::string what = std::string(shape.windowClass) + " " + std::to_string(shape.id);
  checks.ExpectEqual(LOWORD(GetDlgCtrlID(control)), shape.id, what + ": identifier");
  checks.Expect(lstrcmpiA(ClassOf(control).c_str(), shape.windowClass) == 0,
                what + ": class " + ClassOf(control));
  const bool combo = std::strcmp(shape.windowClass, "ComboBox") == 0;
  // A combo box hands its scroll bar style on to its drop-down list.
  const DWORD templateStyle = combo ? shape.style & ~WS_VSCROLL : shape.style;
  const auto style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
  checks.ExpectEqual(Hex(style & templateStyle), Hex(templateStyle),
                     what + ": style bits of the template in " + Hex(style));
  if (shape.text != nullptr) {
    checks.ExpectEqual(TextOf(control), std::string(shape.text), what + ": text");
  } else if (!combo) {
    // The about text: six centred lines, the first naming the filter.
    const std::string about = TextOf(control);
    int breaks = 0;
    for (char c : about) breaks += c == '\n';
    checks.ExpectEqual(breaks, 5, what + ": line breaks of the about text");
    checks.Expect(about.rfind("Windows Media Audio", 0) == 0, what + ": about text " + about);
  }

  // Places and sizes are converted from dialog units apart, as the dialog manager does.
  RECT origin = {shape.place.left, shape.place.top, 0, 0};
  RECT size = {0, 0, shape.place.right, shape.place.bottom};
  MapDialogRect(dialog, &origin);
  MapDialogRect(dialog, &size);
  const RECT expected = {origin.left, origin.top, origin.left + size.right,
                         origin.top + size.bottom};
  RECT actual;
  GetWindowRect(control, &actual);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
  checks.Expect(actual.left == expected.left && actual.top == expected.top &&
                    actual.right == expected.right && (combo || actual.bottom == expected.bottom),
                what + ": place " + Describe(actual) + ", expected " + Describe(expected));
}

void CheckLayout(HWND dialog, Checks& checks) {
  checks.ExpectEqual(ClassOf(dialog), std::string(kDialogClass), "the dialog's class");
  checks.ExpectEqual(TextOf(dialog), std::string(kCaption), "the caption");
  const auto style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  checks.Expect((style & frame) == frame, "a modal popup with caption and close box");
  int count = 0;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT), ++count) {
    if (count < 7) CheckControl(dialog, child, kControls[count], checks);
  }
  checks.ExpectEqual(count, 7, "controls");
}

std::string SelectedText(HWND dialog, int list) {
  const LRESULT position = SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0);
  return position == CB_ERR ? std::string() : ListText(dialog, list, position);
}

DialogSight LookAtLists(HWND dialog) {
  DialogSight sight;
  sight.mode = static_cast<long>(SendDlgItemMessageA(dialog, kModeList, CB_GETCURSEL, 0, 0));
  sight.codecs = static_cast<long>(SendDlgItemMessageA(dialog, kCodecList, CB_GETCOUNT, 0, 0));
  sight.formats = static_cast<long>(SendDlgItemMessageA(dialog, kFormatList, CB_GETCOUNT, 0, 0));
  sight.codec = SelectedText(dialog, kCodecList);
  sight.format = SelectedText(dialog, kFormatList);
  return sight;
}

void CheckModes(HWND dialog, Checks& checks) {
  checks.ExpectEqual(SendDlgItemMessageA(dialog, kModeList, CB_GETCOUNT, 0, 0), LRESULT{2},
                     "mode entries");
  checks.ExpectEqual(ListText(dialog, kModeList, 0), std::string("CBR"), "first mode");
  checks.ExpectEqual(ListText(dialog, kModeList, 1), std::string("VBR"), "second mode");
}

// Picks the entry with this text in a list as a user does: the selection moves, and the dialog
// hears of it from the list.
bool PickEntry(HWND dialog, int list, const std::string& text) {
  const LRESULT position =
      SendDlgItemMessageA(dialog, list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text.c_str()));
  if (position == CB_ERR ||
      SendDlgItemMessageA(dialog, list, CB_SETCURSEL, position, 0) == CB_ERR) {
    return false;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, list)));
  return true;
}

void MakeChoice(HWND dialog, const DialogChoice& choice, Checks& checks) {
  const char* mode = choice.mode == 0 ? "CBR" : "VBR";
  checks.Expect(PickEntry(dialog, kModeList, mode), std::string("the mode ") + mode);
  checks.Expect(PickEntry(dialog, kCodecList, choice.codec), "the codec " + choice.codec);
  checks.Expect(PickEntry(dialog, kFormatList, choice.format), "the format " + choice.format);
}

void EndAsTheUser(HWND dialog, DialogEnding ending) {
  switch (ending) {
    case DialogEnding::kCancelButton:
      SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
      break;
    case DialogEnding::kOkButton:
      SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      break;
    case DialogEnding::kCloseBox:
      SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case DialogEnding::kEscapeKey:
      // Posted to the focused control, where the dialog's message loop finds it.
      PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageA(GetFocus(), WM_KEYUP, VK_ESCAPE, 0xC0010001);
      break;
  }
}

BOOL CALLBACK EndAnyDialog(HWND window, LPARAM) {
  if (ClassOf(window) == kDialogClass) EndDialog(window, 0);
  return TRUE;
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
  Opening& opening = *g_opening;
  Checks& checks = *opening.checks;
  ++opening.ticks;
  const HWND dialog = FindWindowA(kDialogClass, kCaption);
  if (dialog == nullptr || !IsWindowVisible(dialog)) {
    if (opening.ticks < kTicksToFindTheDialog) return;
    // Not found by its caption: end whatever dialog is up, so that the check does not hang.
    KillTimer(nullptr, opening.timer);
    checks.Expect(false, "a visible dialog captioned \"" + std::string(kCaption) + "\"");
    EnumThreadWindows(GetCurrentThreadId(), EndAnyDialog, 0);
    return;
  }
  if (!opening.found) {
    opening.found = true;
    opening.foundAt = opening.ticks;
    CheckLayout(dialog, checks);
    CheckModes(dialog, checks);
    opening.sight = LookAtLists(dialog);
    // Brought to the front as a click would, and redrawn for the screenshot.
    SetForegroundWindow(dialog);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
  // The screen shows what the dialog painted once its message loop has gone idle.
  if (!opening.screenshot.empty() && opening.ticks < opening.foundAt + kTicksToSettle) return;
  KillTimer(nullptr, opening.timer);
  if (!opening.screenshot.empty()) {
    const Screenshot shot = SaveWindowImage(dialog, opening.screenshot);
    checks.Expect(shot.saved, "screenshot saved to " + opening.screenshot);
    checks.Expect(shot.colours > 2, "the screenshot shows more than a blank window");
    std::printf("  screenshot: %dx%d pixels, %d%s colours\n", shot.width, shot.height, shot.colours,
                shot.colours >= 64 ? " or more" : "");
  }
  if (opening.visit.choice != nullptr) MakeChoice(dialog, *opening.visit.choice, checks);
  EndAsTheUser(dialog, opening.visit.ending);
}

void OpenAndEnd(decltype(&FilterGetOptions) filterGetOptions, HMODULE module, Opening opening) {
  Checks& checks = *opening.checks;
  g_opening = &opening;
  opening.timer = SetTimer(nullptr, 0, kTickMilliseconds, OnTick);
  const DWORD result =
      filterGetOptions(nullptr, module, 0, 0, 0, static_cast<DWORD>(opening.visit.incoming));
  KillTimer(nullptr, opening.timer);
  g_opening = nullptr;
  PrintVisit(opening.visit, opening.sight, result);
  checks.Expect(opening.found, "the dialog was shown");
  if (opening.noCodecs) {
    const DialogSight& sight = opening.sight;
    checks.ExpectEqual(sight.mode, static_cast<long>(opening.visit.incoming >> 31), "the mode");
    checks.ExpectEqual(sight.codecs, 0L, "codec entries without codec enumeration");
    checks.ExpectEqual(sight.formats, 0L, "format entries without codec enumeration");
    checks.ExpectEqual(static_cast<unsigned long>(result), opening.visit.incoming,
                       std::string("the word after ") + NameOf(opening.visit.ending));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool noCodecs = argc == 4 && std::strcmp(argv[3], "--no-codecs") == 0;
  const bool withChoices = argc == 5 && std::strcmp(argv[3], "--choices") == 0;
  if (!noCodecs && !withChoices) {
    std::fputs(
        "usage: options_dialog_check WMAFILTER.DLL SCREENSHOT.bmp"
        " (--no-codecs | --choices TABLE)\n",
        stderr);
    return 2;
  }
  Checks checks;
  const std::vector<DialogChoice> choices =
      withChoices ? ReadDialogChoices(argv[4]) : std::vector<DialogChoice>{};
  if (withChoices && !checks.Expect(!choices.empty(), std::string("choices in ") + argv[4])) {
    return checks.Summary();
  }
  const HMODULE module = LoadLibraryA(argv[1]);
  if (!checks.Expect(module != nullptr, std::string("LoadLibrary ") + argv[1])) {
    return checks.Summary();
  }
  const auto filterGetOptions = reinterpret_cast<decltype(&FilterGetOptions)>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "FilterGetOptions")));
  if (checks.Expect(filterGetOptions != nullptr, "FilterGetOptions is exported")) {
    std::string screenshot = argv[2];
    for (const DialogVisit& visit : DialogVisits(choices)) {
      OpenAndEnd(filterGetOptions, module, {visit, screenshot, noCodecs, &checks, {}});
      screenshot.clear();
    }
  }
  FreeLibrary(module);
  return checks.Summary();
}
