// dialog_report FILTER-LIBRARY CHOICES: plays the openings of dialog_visits.h in the native
// headless options dialog of the filter library, over the runtime that it loads, and prints what
// each showed and gave. The dialog check under Wine holds the real dialog's report to this one.
#include "dialog_testing.h"
#include "filter/filter_api.h"
#include "filter_library.h"
#include "options/options_resource.h"
#include "windows/dialog_visits.h"

namespace {

void EndAs(platform_testing::DialogUser& user, DialogEnding ending) {
  switch (ending) {
    case DialogEnding::kCancelButton:
      user.Click(IDCANCEL);
      break;
    case DialogEnding::kEscapeKey:
      user.PressEscape();
      break;
    case DialogEnding::kCloseBox:
      user.CloseBox();
      break;
    case DialogEnding::kOkButton:
      user.Click(IDOK);
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: dialog_report FILTER-LIBRARY CHOICES\n", stderr);
    return 2;
  }
  FilterLibrary library;
  std::string error;
  if (!library.Load(argv[1], error)) {
    std::fprintf(stderr, "dialog_report: %s\n", error.c_str());
    return 1;
  }
  const std::vector<DialogChoice> choices = ReadDialogChoices(argv[2]);
  for (const DialogVisit& visit : DialogVisits(choices)) {
    DialogSight sight;
    const platform_testing::ScopedDialogScript script([&](platform_testing::DialogUser& user) {
      sight.mode = static_cast<long>(user.Selection(IDC_MODE));
      sight.codecs = static_cast<long>(user.List(IDC_CODEC).size());
      sight.formats = static_cast<long>(user.List(IDC_FORMAT).size());
      sight.codec = user.SelectedText(IDC_CODEC);
      sight.format = user.SelectedText(IDC_FORMAT);
      if (visit.choice != nullptr) {
        user.Select(IDC_MODE, visit.choice->mode);
        user.SelectText(IDC_CODEC, visit.choice->codec);
        user.SelectText(IDC_FORMAT, visit.choice->format);
      }
      EndAs(user, visit.ending);
    });
    const DWORD word = library.exports().filterGetOptions(nullptr, library.module(), 0, 0, 0,
                                                          static_cast<DWORD>(visit.incoming));
    PrintVisit(visit, sight, word);
  }
  return 0;
}
