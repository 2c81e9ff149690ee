// The choices that both worlds play in the options dialog, over the same runtime, and the word
// that OK must give for each: host_tests plays them in the native dialog, options_dialog_check
// in the real one under Wine. The table is dialog_choices.txt, one choice a line.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct DialogChoice {
  int mode = 0;  // the position in the mode list: 0 CBR, 1 VBR
  std::string codec;
  std::string format;
  unsigned long word = 0;
};

// The table's choices: "CBR|codec|format|word" lines; blank lines and those starting with '#'
// are passed over. Empty when the file cannot be read.
inline std::vector<DialogChoice> ReadDialogChoices(const std::string& path) {
  std::vector<DialogChoice> choices;
  std::ifstream table(path);
  for (std::string line; std::getline(table, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string mode, word;
    DialogChoice choice;
    std::getline(fields, mode, '|');
    std::getline(fields, choice.codec, '|');
    std::getline(fields, choice.format, '|');
    std::getline(fields, word);
    choice.mode = mode == "VBR" ? 1 : 0;
    choice.word = std::strtoul(word.c_str(), nullptr, 0);
    choices.push_back(choice);
  }
  return choices;
}
