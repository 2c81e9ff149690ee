// The dialog at a terminal, for a person: the dialog drawn to scale (a dialog unit is a quarter
// of a character across and an eighth of a line down), the entries of the focused list beneath
// it, and the keys of a dialog: Tab and Shift-Tab move between tab stops, the arrows, Home,
// End, Page Up and Page Down and a letter change the focused list's selection, Enter presses
// the focused or the default button, Space the focused button, Escape cancels and Ctrl-C
// closes the dialog with its close box.
#include <algorithm>

#include "user32/presentation.h"
#include "user32/terminal.h"

namespace user32 {
namespace {

constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;
constexpr char kHelpLine[] = "Tab: next  Up/Down: choose  Enter: OK  Esc: Cancel  Ctrl-C: close";

struct Cell {
  char16_t character = u' ';
  bool highlighted = false;
};

std::u16string Widen(const std::string& text) {
  std::u16string wide(text.size(), u'\0');
  if (!text.empty()) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        static_cast<int>(wide.size()));
  }
  return wide;
}

void AppendUtf8(std::string& out, char16_t unit) {
  if (unit >= 0xD800 && unit < 0xE000) unit = u'?';
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out.push_back(static_cast<char>(0xC0 | unit >> 6));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | unit >> 12));
    out.push_back(static_cast<char>(0x80 | (unit >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

// Words of the text in lines of at most width characters; line feeds always break.
std::vector<std::u16string> WrapLines(const std::u16string& text, int width) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string paragraph = text.substr(start, end - start);
    while (static_cast<int>(paragraph.size()) > width && width > 0) {
      std::size_t cut = paragraph.rfind(u' ', static_cast<std::size_t>(width));
      if (cut == std::u16string::npos || cut == 0) cut = static_cast<std::size_t>(width);
      const bool atSpace = paragraph[cut] == u' ';  // cut <= width < size
      lines.push_back(paragraph.substr(0, cut));
      paragraph.erase(0, atSpace ? cut + 1 : cut);
    }
    lines.push_back(paragraph);
    start = end + 1;
  }
  return lines;
}

class Canvas {
 public:
  Canvas(int rows, int columns)
      : columns_(columns), cells_(static_cast<std::size_t>(rows * columns)) {}

  int rows() const { return static_cast<int>(cells_.size()) / columns_; }

  void Put(int row, int column, const std::u16string& text, bool highlighted = false) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const int at = column + static_cast<int>(i);
      if (row < 0 || row >= rows() || at < 0 || at >= columns_) continue;
      cells_[static_cast<std::size_t>(row * columns_ + at)] = {text[i], highlighted};
    }
  }

  void Frame(int row, int column, int height, int width, const std::u16string& title) {
    if (height < 2 || width < 2) return;
    const std::u16string edge =
        u"+" + std::u16string(static_cast<std::size_t>(width - 2), u'-') + u"+";
    Put(row, column, edge);
    Put(row + height - 1, column, edge);
    for (int r = row + 1; r < row + height - 1; ++r) {
      Put(r, column, u"|");
      Put(r, column + width - 1, u"|");
    }
    if (!title.empty() && width > 6) {
      Put(row, column + 2, u" " + title.substr(0, static_cast<std::size_t>(width - 6)) + u" ");
    }
  }

  // UTF-8 lines, trailing blanks dropped, with the escape sequences for highlighted cells.
  std::string Text() const {
    std::string out;
    for (int row = 0; row < rows(); ++row) {
      int last = columns_ - 1;
      while (last >= 0 && At(row, last).character == u' ' && !At(row, last).highlighted) --last;
      bool highlighted = false;
      for (int column = 0; column <= last; ++column) {
        const Cell& cell = At(row, column);
        if (cell.highlighted != highlighted) {
          out += cell.highlighted ? "\x1b[7m" : "\x1b[0m";
          highlighted = cell.highlighted;
        }
        AppendUtf8(out, cell.character);
      }
      if (highlighted) out += "\x1b[0m";
      if (row + 1 < rows()) out.push_back('\n');
    }
    return out;
  }

  static std::u16string Fit(const std::u16string& text, int width) {
    if (width <= 0) return {};
    std::u16string fitted = text.substr(0, static_cast<std::size_t>(width));
    fitted.resize(static_cast<std::size_t>(width), u' ');
    return fitted;
  }

 private:
  const Cell& At(int row, int column) const {
    return cells_[static_cast<std::size_t>(row * columns_ + column)];
  }

  int columns_;
  std::vector<Cell> cells_;
};

class TerminalPresentation final : public Presentation {
 public:
  TerminalPresentation(int input, int output) : terminal_(input, output) {}

  bool valid() const { return terminal_.valid(); }

  bool Interact(DialogSession& session) override {
    terminal_.Show(Draw(session.dialog()));
    const Key key = terminal_.ReadKey();
    if (key.name == Key::Name::kClosed) return false;
    Handle(key, session);
    return true;
  }

 private:
  static std::vector<Control*> TabStops(Dialog& dialog) {
    std::vector<Control*> stops;
    for (Control& control : dialog.controls) {
      if (control.IsTabStop()) stops.push_back(&control);
    }
    return stops;
  }

  static Control* Focused(Dialog& dialog) {
    if (Control* control = dialog.FindControl(dialog.focus)) return control;
    const std::vector<Control*> stops = TabStops(dialog);
    return stops.empty() ? nullptr : stops.front();
  }

  std::string Draw(Dialog& dialog) {
    int rows = 0, columns = 0;
    terminal_.Size(rows, columns);
    const int width = dialog.cx / kUnitsPerColumn + 2;
    const int height = dialog.cy / kUnitsPerRow + 2;
    Canvas canvas(std::max(rows - 1, height + 1), std::max(columns, width));
    canvas.Frame(0, 0, height, width, Widen(dialog.caption));
    canvas.Put(0, width - 4, u"[x]");

    const Control* focused = Focused(dialog);
    for (const Control& control : dialog.controls) {
      DrawControl(canvas, control, &control == focused);
    }
    canvas.Put(height, 0, Widen(kHelpLine));
    if (focused != nullptr && focused->kind == ControlKind::kComboBox) {
      DrawEntries(canvas, height + 2, focused->list);
    }
    return canvas.Text();
  }

  static void DrawControl(Canvas& canvas, const Control& control, bool focused) {
    const int row = 1 + control.y / kUnitsPerRow;
    const int column = 1 + control.x / kUnitsPerColumn;
    const int width = control.cx / kUnitsPerColumn;
    const int height = std::max(1, control.cy / kUnitsPerRow);
    const std::u16string text = Widen(control.text);
    switch (control.kind) {
      case ControlKind::kComboBox: {
        const std::string* selected = control.list.Text(control.list.selection());
        const std::u16string shown = selected != nullptr ? Widen(*selected) : std::u16string();
        canvas.Put(row, column, u"[" + Canvas::Fit(shown, width - 4) + u" v]", focused);
        break;
      }
      case ControlKind::kButton:
        if ((control.style & BS_TYPEMASK) == BS_GROUPBOX) {
          canvas.Frame(row, column, height, width, text);
        } else {
          const bool isDefault = (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
          const std::u16string label = isDefault ? u"[[ " + text + u" ]]" : u"[ " + text + u" ]";
          const int indent = std::max(0, (width - static_cast<int>(label.size())) / 2);
          canvas.Put(row, column + indent, label, focused);
        }
        break;
      default: {
        const DWORD align = control.style & SS_TYPEMASK;
        const std::vector<std::u16string> lines = WrapLines(text, width);
        for (int i = 0; i < height && i < static_cast<int>(lines.size()); ++i) {
          const int spare = std::max(0, width - static_cast<int>(lines[i].size()));
          const int indent = align == SS_CENTER ? spare / 2 : align == SS_RIGHT ? spare : 0;
          canvas.Put(row + i, column + indent, lines[i]);
        }
        break;
      }
    }
  }

  // The focused list's entries, scrolled so that the selection shows.
  static void DrawEntries(Canvas& canvas, int row, const ComboBox& list) {
    const int room = canvas.rows() - row;
    if (room <= 0) return;
    const LRESULT selection = list.selection();
    const LRESULT first =
        std::clamp<LRESULT>(selection - room / 2, 0, std::max<LRESULT>(0, list.count() - room));
    for (LRESULT i = first; i < list.count() && i - first < room; ++i) {
      const bool selected = i == selection;
      canvas.Put(row + static_cast<int>(i - first), 2,
                 (selected ? u"> " : u"  ") + Widen(*list.Text(i)), selected);
    }
  }

  static void Handle(const Key& key, DialogSession& session) {
    Dialog& dialog = session.dialog();
    Control* focused = Focused(dialog);
    switch (key.name) {
      case Key::Name::kTab:
      case Key::Name::kBackTab:
        MoveFocus(dialog, focused, key.name == Key::Name::kTab ? 1 : -1);
        return;
      case Key::Name::kEnter:
        if (focused != nullptr && focused->IsPushButton()) {
          session.Click(focused->id);
        } else {
          session.PressEnter();
        }
        return;
      case Key::Name::kEscape:
        session.PressEscape();
        return;
      case Key::Name::kInterrupt:
        session.CloseBox();
        return;
      case Key::Name::kCharacter:
        if (key.character == ' ' && focused != nullptr && focused->IsPushButton()) {
          session.Click(focused->id);
          return;
        }
        break;
      default:
        break;
    }
    if (focused == nullptr || focused->kind != ControlKind::kComboBox) return;
    const LRESULT target = ListTarget(key, focused->list);
    if (target != CB_ERR && target != focused->list.selection())
      session.Select(focused->id, target);
  }

  // Where a key moves the selection of a closed drop-down list; CB_ERR for nowhere.
  static LRESULT ListTarget(const Key& key, const ComboBox& list) {
    const LRESULT count = list.count();
    if (count == 0) return CB_ERR;
    const LRESULT current = list.selection();
    constexpr LRESULT kPage = 8;
    switch (key.name) {
      case Key::Name::kUp:
      case Key::Name::kLeft:
        return current == CB_ERR ? 0 : std::max<LRESULT>(current - 1, 0);
      case Key::Name::kDown:
      case Key::Name::kRight:
        return current == CB_ERR ? 0 : std::min(current + 1, count - 1);
      case Key::Name::kPageUp:
        return std::max<LRESULT>(current - kPage, 0);
      case Key::Name::kPageDown:
        return std::min(std::max<LRESULT>(current, 0) + kPage, count - 1);
      case Key::Name::kHome:
        return 0;
      case Key::Name::kEnd:
        return count - 1;
      case Key::Name::kCharacter:
        // The next entry after the selection that starts with the letter, round the list.
        for (LRESULT step = 1; step <= count; ++step) {
          const LRESULT i = (std::max<LRESULT>(current, -1) + step) % count;
          const std::string& text = *list.Text(i);
          if (!text.empty() && std::tolower(static_cast<unsigned char>(text[0])) ==
                                   std::tolower(static_cast<unsigned char>(key.character))) {
            return i;
          }
        }
        return CB_ERR;
      default:
        return CB_ERR;
    }
  }

  static void MoveFocus(Dialog& dialog, const Control* focused, int step) {
    const std::vector<Control*> stops = TabStops(dialog);
    if (stops.empty()) return;
    const auto at = std::find(stops.begin(), stops.end(), focused);
    const auto index = at == stops.end() ? 0 : at - stops.begin();
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    dialog.focus = stops[static_cast<std::size_t>((index + step + count) % count)]->handle;
  }

  Terminal terminal_;
};

}  // namespace

std::unique_ptr<Presentation> MakeTerminalPresentation(int input, int output) {
  auto presentation = std::make_unique<TerminalPresentation>(input, output);
  if (!presentation->valid()) return nullptr;
  return presentation;
}

}  // namespace user32
