// A terminal in raw mode: keys in, whole screens out. The mode, the alternate screen and the
// cursor are restored when the object goes.
#pragma once

#include <termios.h>

#include <string>

namespace user32 {

struct Key {
  enum class Name {
    kCharacter,  // a printable byte, in character
    kEnter,
    kEscape,
    kTab,
    kBackTab,
    kUp,
    kDown,
    kLeft,
    kRight,
    kHome,
    kEnd,
    kPageUp,
    kPageDown,
    kInterrupt,  // Ctrl-C
    kOther,
    kClosed,  // end of input: the terminal is gone
  };
  Name name = Name::kOther;
  char character = 0;
};

class Terminal {
 public:
  // Takes over the terminal; valid() is false when either descriptor is not a terminal.
  Terminal(int input, int output);
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  ~Terminal();

  bool valid() const { return valid_; }

  // Rows and columns, or 24 by 80 when the terminal does not say.
  void Size(int& rows, int& columns) const;
  // Replaces the screen with the text: lines separated by '\n', UTF-8, with escape sequences
  // for attributes.
  void Show(const std::string& screen);
  // Waits for the next key.
  Key ReadKey();

 private:
  bool ReadByte(unsigned char& byte, int timeoutMilliseconds);
  void Write(const std::string& text);

  int input_;
  int output_;
  bool valid_ = false;
  termios saved_{};
};

}  // namespace user32
