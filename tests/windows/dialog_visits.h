// The openings of the options dialog that both worlds play over the same runtime, and the report
// each prints of what it saw: the native headless dialog (dialog_report) and the real one under
// Wine (options_dialog_check). Their reports must be equal line for line, so the Windows check
// holds to what the native world shows instead of assuming what a word's lists hold.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "dialog_choices.h"

enum class DialogEnding { kCancelButton, kEscapeKey, kCloseBox, kOkButton };

inline const char* NameOf(DialogEnding ending) {
  switch (ending) {
    case DialogEnding::kCancelButton:
      return "Cancel";
    case DialogEnding::kEscapeKey:
      return "Escape";
    case DialogEnding::kCloseBox:
      return "the close box";
    case DialogEnding::kOkButton:
      return "OK";
  }
  return "?";
}

struct DialogVisit {
  unsigned long incoming = 0;
  DialogEnding ending = DialogEnding::kCancelButton;
  const DialogChoice* choice = nullptr;  // made through the controls, then OK
};

// Each way out on a constant and a variable bit rate word and on the default, then every choice
// of the table.
inline std::vector<DialogVisit> DialogVisits(const std::vector<DialogChoice>& choices) {
  std::vector<DialogVisit> visits = {{0x00010002, DialogEnding::kCancelButton},
                                     {0x80010002, DialogEnding::kEscapeKey},
                                     {0, DialogEnding::kCloseBox},
                                     {0x80000000, DialogEnding::kOkButton}};
  for (const DialogChoice& choice : choices) {
    visits.push_back({0, DialogEnding::kOkButton, &choice});
  }
  return visits;
}

// What the user saw on opening and the word that came back.
struct DialogSight {
  long mode = -1;  // the selected position of the mode list
  long codecs = 0;
  long formats = 0;
  std::string codec;  // the selected entries' texts
  std::string format;
};

inline void PrintVisit(const DialogVisit& visit, const DialogSight& sight, unsigned long word) {
  std::printf("opening with 0x%08lx, ended with %s\n", visit.incoming, NameOf(visit.ending));
  std::printf("  lists: %ld codecs, %ld formats; mode %ld, codec \"%s\", format \"%s\"\n",
              sight.codecs, sight.formats, sight.mode, sight.codec.c_str(), sight.format.c_str());
  std::printf("  word: 0x%08lx\n", word);
}
