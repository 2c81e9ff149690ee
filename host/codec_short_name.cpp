#include "codec_short_name.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The name's words, lower case, split at blanks.
std::vector<std::string> WordsOf(const std::string& name) {
  std::vector<std::string> words;
  std::istringstream stream(Lowered(name));
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

struct KindWord {
  const char* shortName;
  const char* word;
  bool prefix;  // the word begins with it ("Pro" and "Professional")
};

// In the order they are tried: a name such as "... 10 Professional" or "... 9.2 Lossless" says
// its kind in a word of its own, whatever version it carries.
constexpr KindWord kKindWords[] = {{"lossless", "lossless", false},
                                   {"pro", "pro", true},
                                   {"voice", "voice", false},
                                   {"v1", "v1", false}};

// Every other codec of this family writes the standard (version 2) bitstream, under whichever
// version its name carries (V2, V7, V8, 9, 9.2).
constexpr char kFamily[] = "windows media audio";

}  // namespace

std::string CodecShortName(const std::string& codecName) {
  const std::vector<std::string> words = WordsOf(codecName);
  for (const KindWord& kind : kKindWords) {
    for (const std::string& word : words) {
      if (kind.prefix ? word.rfind(kind.word, 0) == 0 : word == kind.word) return kind.shortName;
    }
  }
  return Lowered(codecName).rfind(kFamily, 0) == 0 ? "v2" : "";
}

bool NamesCodec(const std::string& text, const std::string& codecName,
                const std::string& shortName) {
  const std::string wanted = Lowered(text);
  return wanted == Lowered(codecName) || (!shortName.empty() && wanted == Lowered(shortName));
}
