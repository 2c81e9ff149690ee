#include "user32/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace user32 {
namespace {

constexpr unsigned char kEscapeByte = 0x1b;
constexpr unsigned char kInterruptByte = 0x03;
// A lone Escape is told from the start of a key's sequence by the silence after it.
constexpr int kSequenceWaitMilliseconds = 50;

}  // namespace

Terminal::Terminal(int input, int output) : input_(input), output_(output) {
  if (!isatty(input) || !isatty(output) || tcgetattr(input, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON | BRKINT | ISTRIP | INPCK);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(input, TCSAFLUSH, &raw) != 0) return;
  valid_ = true;
  Write("\x1b[?1049h\x1b[?25l");  // alternate screen, cursor hidden
}

Terminal::~Terminal() {
  if (!valid_) return;
  Write("\x1b[?25h\x1b[?1049l");
  tcsetattr(input_, TCSAFLUSH, &saved_);
}

void Terminal::Size(int& rows, int& columns) const {
  winsize size{};
  const bool known = ioctl(output_, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0;
  rows = known ? size.ws_row : 24;
  columns = known ? size.ws_col : 80;
}

void Terminal::Show(const std::string& screen) {
  std::string out = "\x1b[H\x1b[2J";
  for (char c : screen) {
    if (c == '\n') out += "\x1b[K\r";  // raw output: a line feed alone does not return
    out.push_back(c);
  }
  Write(out);
}

void Terminal::Write(const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t result = write(output_, text.data() + written, text.size() - written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return;
    written += static_cast<std::size_t>(result);
  }
}

bool Terminal::ReadByte(unsigned char& byte, int timeoutMilliseconds) {
  for (;;) {
    pollfd ready{input_, POLLIN, 0};
    const int polled = poll(&ready, 1, timeoutMilliseconds);
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    const ssize_t result = read(input_, &byte, 1);
    if (result < 0 && errno == EINTR) continue;
    return result == 1;
  }
}

Key Terminal::ReadKey() {
  unsigned char byte = 0;
  if (!ReadByte(byte, -1)) return {Key::Name::kClosed};
  switch (byte) {
    case '\r':
    case '\n':
      return {Key::Name::kEnter};
    case '\t':
      return {Key::Name::kTab};
    case kInterruptByte:
      return {Key::Name::kInterrupt};
    case kEscapeByte:
      break;
    default:
      if (byte >= 0x20 && byte < 0x7f) return {Key::Name::kCharacter, static_cast<char>(byte)};
      return {Key::Name::kOther};
  }

  // ESC [ or ESC O, optional numeric parameters, one final byte.
  unsigned char introducer = 0;
  if (!ReadByte(introducer, kSequenceWaitMilliseconds)) return {Key::Name::kEscape};
  if (introducer != '[' && introducer != 'O') return {Key::Name::kOther};
  std::string parameters;
  unsigned char final = 0;
  while (ReadByte(final, kSequenceWaitMilliseconds) && final >= 0x20 && final < 0x40) {
    parameters.push_back(static_cast<char>(final));
  }
  switch (final) {
    case 'A':
      return {Key::Name::kUp};
    case 'B':
      return {Key::Name::kDown};
    case 'C':
      return {Key::Name::kRight};
    case 'D':
      return {Key::Name::kLeft};
    case 'H':
      return {Key::Name::kHome};
    case 'F':
      return {Key::Name::kEnd};
    case 'Z':
      return {Key::Name::kBackTab};
    case '~':
      if (parameters == "1" || parameters == "7") return {Key::Name::kHome};
      if (parameters == "4" || parameters == "8") return {Key::Name::kEnd};
      if (parameters == "5") return {Key::Name::kPageUp};
      if (parameters == "6") return {Key::Name::kPageDown};
      return {Key::Name::kOther};
    default:
      return {Key::Name::kOther};
  }
}

}  // namespace user32
