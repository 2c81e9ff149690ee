// Reads the subset of the resource-script language that dialogs need, in two passes: a small
// preprocessor turns the script and its quoted includes into tokens, expanding object-like
// macros as it goes, and a parser turns the tokens into dialog templates.
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <dialog_resources.h>

namespace dialog_resources {
namespace {

constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxExpansionDepth = 32;
constexpr WORD kDefaultLanguage = 0x0409;  // English (United States), as windres assumes

// ---- Tokens ----------------------------------------------------------------------------------

struct Token {
  enum class Kind { kName, kNumber, kString, kPunctuation, kEnd };
  Kind kind = Kind::kEnd;
  std::string text;  // name, punctuation, or the string's bytes after escapes
  long long number = 0;
  std::string where;  // "file:line"
};

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Splits one logical line, free of comments, into tokens; false with a message on bad input.
bool Tokenize(const std::string& line, const std::string& where, std::vector<Token>& tokens,
              std::string& error) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token token;
    token.where = where;
    if (c == '"' || (c == 'L' && i + 1 < line.size() && line[i + 1] == '"')) {
      // A string; "" stands for one quote, and the C escapes for control characters.
      i += c == 'L' ? 2 : 1;
      token.kind = Token::Kind::kString;
      bool closed = false;
      while (i < line.size()) {
        char ch = line[i++];
        if (ch == '"') {
          if (i < line.size() && line[i] == '"') {
            token.text.push_back('"');
            ++i;
            continue;
          }
          closed = true;
          break;
        }
        if (ch == '\\' && i < line.size()) {
          const char escaped = line[i++];
          switch (escaped) {
            case 'n':
              ch = '\n';
              break;
            case 'r':
              ch = '\r';
              break;
            case 't':
              ch = '\t';
              break;
            case 'a':
              ch = '\a';
              break;
            case '0':
              ch = '\0';
              break;
            default:
              ch = escaped;
              break;  // \\ and \" and anything else stand for themselves
          }
        }
        token.text.push_back(ch);
      }
      if (!closed) {
        error = where + ": string not closed";
        return false;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      std::size_t end = i;
      while (end < line.size() && IsNamePart(line[end])) ++end;
      std::string digits = line.substr(i, end - i);
      while (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l' ||
                                 digits.back() == 'U' || digits.back() == 'u')) {
        digits.pop_back();
      }
      char* stop = nullptr;
      token.kind = Token::Kind::kNumber;
      token.number = std::strtoll(digits.c_str(), &stop, 0);
      if (digits.empty() || *stop != '\0') {
        error = where + ": bad number " + line.substr(i, end - i);
        return false;
      }
      i = end;
    } else if (IsNameStart(c)) {
      std::size_t end = i;
      while (end < line.size() && IsNamePart(line[end])) ++end;
      token.kind = Token::Kind::kName;
      token.text = line.substr(i, end - i);
      i = end;
    } else if (std::string("|&+-~(),{}").find(c) != std::string::npos) {
      token.kind = Token::Kind::kPunctuation;
      token.text = std::string(1, c);
      ++i;
    } else {
      error = where + ": unexpected character '" + std::string(1, c) + "'";
      return false;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

// ---- Preprocessor ----------------------------------------------------------------------------

class Preprocessor {
 public:
  bool Run(const std::string& path) { return ReadFile(path, 0); }

  std::vector<Token>& tokens() { return tokens_; }
  std::vector<std::string>& files() { return files_; }
  std::string& error() { return error_; }

 private:
  bool Fail(const std::string& where, const std::string& what) {
    error_ = where + ": " + what;
    return false;
  }

  static std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  }

  // The file's logical lines: comments removed, continued lines joined, numbered by the line
  // on which each starts.
  bool ReadLines(const std::string& path, std::vector<std::pair<int, std::string>>& lines) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream contents;
    contents << file.rdbuf();
    const std::string text = contents.str();

    std::string line;
    int lineNumber = 1, startLine = 1;
    bool inBlockComment = false, inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if (inBlockComment) {
        if (c == '*' && next == '/') {
          inBlockComment = false;
          ++i;
          line.push_back(' ');
        } else if (c == '\n') {
          ++lineNumber;
        }
        continue;
      }
      if (c == '\r') continue;
      if (c == '\\' && next == '\n' && !inString) {
        ++i;
        ++lineNumber;
        continue;
      }
      if (c == '\n') {
        lines.emplace_back(startLine, line);
        line.clear();
        inString = false;
        startLine = ++lineNumber;
        continue;
      }
      if (!inString && c == '/' && next == '/') {
        while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
        continue;
      }
      if (!inString && c == '/' && next == '*') {
        inBlockComment = true;
        ++i;
        continue;
      }
      if (c == '"') inString = !inString;
      line.push_back(c);
    }
    if (!line.empty()) lines.emplace_back(startLine, line);
    return true;
  }

  bool ReadFile(const std::string& path, int depth) {
    if (depth > kMaxIncludeDepth) return Fail(path, "includes nested too deeply");
    if (onceOnly_.count(path) != 0) return true;
    std::vector<std::pair<int, std::string>> lines;
    if (!ReadLines(path, lines)) {
      error_ = "cannot read " + path;
      return false;
    }
    files_.push_back(path);

    // One entry per open conditional: whether its enclosing text counts, and whether its
    // current branch does.
    struct Conditional {
      bool outerActive;
      bool active;
    };
    std::vector<Conditional> conditionals;
    auto isActive = [&] { return conditionals.empty() || conditionals.back().active; };
    for (const auto& [number, line] : lines) {
      const std::string where = path + ":" + std::to_string(number);
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos) continue;
      if (line[first] != '#') {
        if (isActive() && !Emit(line, where)) return false;
        continue;
      }
      std::istringstream directive(line.substr(first + 1));
      std::string name, argument;
      directive >> name >> argument;
      if (name == "ifdef" || name == "ifndef") {
        const bool defined = macros_.count(argument) != 0 || IsPlatformName(argument);
        const bool outer = isActive();
        conditionals.push_back({outer, outer && (name == "ifdef" ? defined : !defined)});
      } else if (name == "else") {
        if (conditionals.empty()) return Fail(where, "#else without #if");
        conditionals.back().active = conditionals.back().outerActive && !conditionals.back().active;
      } else if (name == "endif") {
        if (conditionals.empty()) return Fail(where, "#endif without #if");
        conditionals.pop_back();
      } else if (!isActive()) {
        if (name == "if") conditionals.push_back({false, false});  // only to find its #endif
      } else if (name == "include") {
        if (!Include(line.substr(first + 1), where, path, depth)) return false;
      } else if (name == "define") {
        if (!Define(line.substr(first + 1), where)) return false;
      } else if (name == "undef") {
        macros_.erase(argument);
      } else if (name == "pragma") {
        if (argument == "once") onceOnly_.insert(path);
      } else {
        return Fail(where, "unsupported directive #" + name);
      }
    }
    if (!conditionals.empty()) return Fail(path, "#if without #endif");
    return true;
  }

  bool Include(const std::string& directive, const std::string& where, const std::string& from,
               int depth) {
    const std::size_t open = directive.find_first_of("\"<");
    if (open == std::string::npos) return Fail(where, "bad #include");
    // <...> names a platform header, whose definitions the reader has built in.
    if (directive[open] == '<') return true;
    const std::size_t close = directive.find('"', open + 1);
    if (close == std::string::npos) return Fail(where, "bad #include");
    return ReadFile(DirectoryOf(from) + directive.substr(open + 1, close - open - 1), depth + 1);
  }

  bool Define(const std::string& directive, const std::string& where) {
    std::size_t i = directive.find("define") + 6;
    while (i < directive.size() && std::isspace(static_cast<unsigned char>(directive[i]))) ++i;
    std::size_t end = i;
    while (end < directive.size() && IsNamePart(directive[end])) ++end;
    if (end == i) return Fail(where, "#define without a name");
    if (end < directive.size() && directive[end] == '(') {
      return Fail(where, "macros with arguments are not supported");
    }
    std::vector<Token> body;
    if (!Tokenize(directive.substr(end), where, body, error_)) return false;
    macros_[directive.substr(i, end - i)] = std::move(body);
    return true;
  }

  bool Emit(const std::string& line, const std::string& where) {
    std::vector<Token> lineTokens;
    if (!Tokenize(line, where, lineTokens, error_)) return false;
    std::set<std::string> expanding;
    for (Token& token : lineTokens) {
      if (!Expand(std::move(token), where, expanding, 0)) return false;
    }
    return true;
  }

  // Appends the token, or what its macro stands for; a macro is not expanded inside itself.
  bool Expand(Token token, const std::string& where, std::set<std::string>& expanding, int depth) {
    if (depth > kMaxExpansionDepth) return Fail(where, "macros nested too deeply");
    const auto macro = token.kind == Token::Kind::kName ? macros_.find(token.text) : macros_.end();
    if (macro == macros_.end() || expanding.count(token.text) != 0) {
      token.where = where;
      tokens_.push_back(std::move(token));
      return true;
    }
    expanding.insert(token.text);
    for (const Token& part : macro->second) {
      if (!Expand(part, where, expanding, depth + 1)) return false;
    }
    expanding.erase(token.text);
    return true;
  }

  static bool IsPlatformName(const std::string& name);

  std::map<std::string, std::vector<Token>> macros_;
  std::set<std::string> onceOnly_;
  std::vector<Token> tokens_;
  std::vector<std::string> files_;
  std::string error_;
};

// ---- The platform's definitions ----------------------------------------------------------------

#define PLATFORM_NAME(name) \
  { #name, static_cast < long long>(name) }

const std::map<std::string, long long>& PlatformNames() {
  static const std::map<std::string, long long> names = {
      PLATFORM_NAME(WS_OVERLAPPED),
      PLATFORM_NAME(WS_TABSTOP),
      PLATFORM_NAME(WS_GROUP),
      PLATFORM_NAME(WS_THICKFRAME),
      PLATFORM_NAME(WS_SYSMENU),
      PLATFORM_NAME(WS_HSCROLL),
      PLATFORM_NAME(WS_VSCROLL),
      PLATFORM_NAME(WS_DLGFRAME),
      PLATFORM_NAME(WS_BORDER),
      PLATFORM_NAME(WS_CAPTION),
      PLATFORM_NAME(WS_DISABLED),
      PLATFORM_NAME(WS_VISIBLE),
      PLATFORM_NAME(WS_CHILD),
      PLATFORM_NAME(WS_POPUP),
      PLATFORM_NAME(DS_SETFONT),
      PLATFORM_NAME(DS_MODALFRAME),
      PLATFORM_NAME(DS_CENTER),
      PLATFORM_NAME(BS_PUSHBUTTON),
      PLATFORM_NAME(BS_DEFPUSHBUTTON),
      PLATFORM_NAME(BS_CHECKBOX),
      PLATFORM_NAME(BS_AUTOCHECKBOX),
      PLATFORM_NAME(BS_RADIOBUTTON),
      PLATFORM_NAME(BS_GROUPBOX),
      PLATFORM_NAME(BS_AUTORADIOBUTTON),
      PLATFORM_NAME(SS_LEFT),
      PLATFORM_NAME(SS_CENTER),
      PLATFORM_NAME(SS_RIGHT),
      PLATFORM_NAME(ES_LEFT),
      PLATFORM_NAME(ES_AUTOHSCROLL),
      PLATFORM_NAME(LBS_NOTIFY),
      PLATFORM_NAME(LBS_SORT),
      PLATFORM_NAME(CBS_SIMPLE),
      PLATFORM_NAME(CBS_DROPDOWN),
      PLATFORM_NAME(CBS_DROPDOWNLIST),
      PLATFORM_NAME(CBS_SORT),
      PLATFORM_NAME(CBS_HASSTRINGS),
      PLATFORM_NAME(IDOK),
      PLATFORM_NAME(IDCANCEL),
      {"LANG_NEUTRAL", 0x00},
      {"LANG_ENGLISH", 0x09},
      {"SUBLANG_NEUTRAL", 0x00},
      {"SUBLANG_DEFAULT", 0x01},
      {"SUBLANG_ENGLISH_US", 0x01},
      {"SUBLANG_ENGLISH_UK", 0x02},
  };
  return names;
}

#undef PLATFORM_NAME

bool Preprocessor::IsPlatformName(const std::string& name) {
  return PlatformNames().count(name) != 0;
}

// ---- Parser ----------------------------------------------------------------------------------

// A control statement: its window class, the style it has when the script gives none, and
// the bits that a given style is added to (as windres builds them).
struct ControlStatement {
  const char* keyword;
  WORD windowClass;
  DWORD defaultStyle;
  DWORD baseStyle;
  bool hasText;
};

constexpr ControlStatement kControlStatements[] = {
    {"LTEXT", kStaticClass, SS_LEFT | WS_GROUP, SS_LEFT, true},
    {"CTEXT", kStaticClass, SS_CENTER | WS_GROUP, SS_CENTER, true},
    {"RTEXT", kStaticClass, SS_RIGHT | WS_GROUP, SS_RIGHT, true},
    {"PUSHBUTTON", kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, BS_DEFPUSHBUTTON | WS_TABSTOP,
     true},
    {"GROUPBOX", kButtonClass, BS_GROUPBOX, BS_GROUPBOX, true},
    {"CHECKBOX", kButtonClass, BS_CHECKBOX | WS_TABSTOP, BS_CHECKBOX | WS_TABSTOP, true},
    {"AUTOCHECKBOX", kButtonClass, BS_AUTOCHECKBOX | WS_TABSTOP, BS_AUTOCHECKBOX | WS_TABSTOP,
     true},
    {"RADIOBUTTON", kButtonClass, BS_RADIOBUTTON | WS_TABSTOP, BS_RADIOBUTTON | WS_TABSTOP, true},
    {"AUTORADIOBUTTON", kButtonClass, BS_AUTORADIOBUTTON | WS_TABSTOP,
     BS_AUTORADIOBUTTON | WS_TABSTOP, true},
    {"EDITTEXT", kEditClass, ES_LEFT | WS_BORDER | WS_TABSTOP, ES_LEFT | WS_BORDER | WS_TABSTOP,
     false},
    {"LISTBOX", kListBoxClass, LBS_NOTIFY | WS_BORDER, LBS_NOTIFY | WS_BORDER, false},
    {"COMBOBOX", kComboBoxClass, CBS_SIMPLE | WS_TABSTOP, 0, false},
};

// Predefined classes named in a CONTROL statement are stored as ordinals.
constexpr std::pair<const char*, WORD> kPredefinedClasses[] = {
    {"BUTTON", kButtonClass},   {"EDIT", kEditClass},           {"STATIC", kStaticClass},
    {"LISTBOX", kListBoxClass}, {"SCROLLBAR", kScrollBarClass}, {"COMBOBOX", kComboBoxClass},
};

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::u16string ToUtf16(const std::string& text) {
  // Script text is in the ANSI code page, as resource compilers read it by default.
  std::u16string wide(text.size(), u'\0');
  if (!text.empty()) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        static_cast<int>(wide.size()));
  }
  return wide;
}

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  bool Script(std::vector<ScriptDialog>& dialogs) {
    WORD language = kDefaultLanguage;
    while (Peek().kind != Token::Kind::kEnd) {
      if (IsName("LANGUAGE")) {
        Next();
        if (!Language(language)) return false;
        continue;
      }
      ScriptDialog dialog;
      if (!Dialog(dialog, language)) return false;
      dialogs.push_back(std::move(dialog));
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  const Token& Peek() const {
    static const Token end;
    return position_ < tokens_.size() ? tokens_[position_] : end;
  }
  const Token& Next() {
    const Token& token = Peek();
    if (position_ < tokens_.size()) ++position_;
    return token;
  }
  bool IsName(const char* name) const {
    return Peek().kind == Token::Kind::kName && Peek().text == name;
  }
  bool IsPunctuation(const char* text) const {
    return Peek().kind == Token::Kind::kPunctuation && Peek().text == text;
  }
  bool Fail(const std::string& what) {
    const std::string& where =
        Peek().kind == Token::Kind::kEnd
            ? (tokens_.empty() ? std::string("script") : tokens_.back().where)
            : Peek().where;
    error_ = where + ": " + what;
    return false;
  }
  bool Expect(const char* punctuation) {
    if (!IsPunctuation(punctuation)) return Fail(std::string("expected '") + punctuation + "'");
    Next();
    return true;
  }
  bool Comma() { return Expect(","); }

  // ---- Expressions, with C's precedence: unary, then + -, then &, then |.
  bool Primary(long long& value) {
    const Token& token = Peek();
    if (token.kind == Token::Kind::kNumber) {
      value = Next().number;
      return true;
    }
    if (token.kind == Token::Kind::kName) {
      const auto known = PlatformNames().find(token.text);
      if (known == PlatformNames().end()) return Fail("unknown name " + token.text);
      Next();
      value = known->second;
      return true;
    }
    if (IsPunctuation("(")) {
      Next();
      return Or(value) && Expect(")");
    }
    return Fail("expected a number");
  }
  bool Unary(long long& value) {
    if (IsPunctuation("-") || IsPunctuation("~")) {
      const bool negate = Next().text == "-";
      if (!Unary(value)) return false;
      value = negate ? -value : ~value;
      return true;
    }
    return Primary(value);
  }
  bool Sum(long long& value) {
    if (!Unary(value)) return false;
    while (IsPunctuation("+") || IsPunctuation("-")) {
      const bool add = Next().text == "+";
      long long right = 0;
      if (!Unary(right)) return false;
      value = add ? value + right : value - right;
    }
    return true;
  }
  bool And(long long& value) {
    if (!Sum(value)) return false;
    while (IsPunctuation("&")) {
      Next();
      long long right = 0;
      if (!Sum(right)) return false;
      value &= right;
    }
    return true;
  }
  bool Or(long long& value) {
    if (!And(value)) return false;
    while (IsPunctuation("|")) {
      Next();
      long long right = 0;
      if (!And(right)) return false;
      value |= right;
    }
    return true;
  }
  template <class T>
  bool Number(T& result) {
    long long value = 0;
    if (!Or(value)) return false;
    result = static_cast<T>(value);
    return true;
  }

  // A style: terms joined by |, each adding its bits or, after NOT, clearing them.
  bool Style(DWORD& style) {
    for (;;) {
      const bool clear = IsName("NOT");
      if (clear) Next();
      long long term = 0;
      if (!And(term)) return false;
      style = clear ? style & ~static_cast<DWORD>(term) : style | static_cast<DWORD>(term);
      if (!IsPunctuation("|")) return true;
      Next();
    }
  }

  // [, extended style] at the end of a control statement.
  bool OptionalExtendedStyle(DWORD& exStyle) {
    if (!IsPunctuation(",")) return true;
    Next();
    return Style(exStyle);
  }

  bool String(std::u16string& text) {
    if (Peek().kind != Token::Kind::kString) return Fail("expected a string");
    std::string bytes;
    while (Peek().kind == Token::Kind::kString) bytes += Next().text;  // adjacent ones join
    text = ToUtf16(bytes);
    return true;
  }

  bool NameOrNumber(NameOrOrdinal& name) {
    name = {};
    if (Peek().kind == Token::Kind::kString) return String(name.text);
    if (Peek().kind == Token::Kind::kName && PlatformNames().count(Peek().text) == 0) {
      name.text = ToUtf16(Upper(Next().text));
      return true;
    }
    WORD ordinal = 0;
    if (!Number(ordinal)) return false;
    name.ordinal = ordinal;
    return true;
  }

  bool Language(WORD& language) {
    WORD primary = 0, sub = 0;
    if (!Number(primary) || !Comma() || !Number(sub)) return false;
    language = static_cast<WORD>(sub << 10 | primary);
    return true;
  }

  bool Rectangle(SHORT& x, SHORT& y, SHORT& cx, SHORT& cy) {
    return Number(x) && Comma() && Number(y) && Comma() && Number(cx) && Comma() && Number(cy);
  }

  bool BlockStart() {
    if (IsName("BEGIN") || IsPunctuation("{")) {
      Next();
      return true;
    }
    return Fail("expected BEGIN");
  }
  bool AtBlockEnd() const { return IsName("END") || IsPunctuation("}"); }

  bool Dialog(ScriptDialog& result, WORD language) {
    if (Peek().kind != Token::Kind::kNumber && !IsPunctuation("(")) {
      return Fail("expected a resource statement with a numeric identifier");
    }
    if (!Number(result.id)) return false;
    if (IsName("DIALOGEX")) return Fail("extended dialogs (DIALOGEX) are not supported");
    if (!IsName("DIALOG")) return Fail("only DIALOG resources are supported");
    Next();
    // Memory flags mean nothing to a module loaded today.
    for (const char* flag :
         {"DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD", "LOADONCALL"}) {
      while (IsName(flag)) Next();
    }
    DialogTemplate& dialog = result.dialog;
    result.language = language;
    if (!Rectangle(dialog.x, dialog.y, dialog.cx, dialog.cy)) return false;

    bool styleGiven = false;
    DWORD impliedStyle = 0;  // what CAPTION and FONT add to any style
    while (!IsName("BEGIN") && !IsPunctuation("{")) {
      if (Peek().kind != Token::Kind::kName) return Fail("expected a dialog option or BEGIN");
      const std::string option = Peek().text;
      if (option != "STYLE" && option != "EXSTYLE" && option != "CAPTION" && option != "FONT" &&
          option != "MENU" && option != "CLASS" && option != "LANGUAGE" &&
          option != "CHARACTERISTICS" && option != "VERSION") {
        return Fail("unsupported dialog option " + option);
      }
      Next();
      bool read = true;
      if (option == "STYLE") {
        dialog.style = 0;
        styleGiven = true;
        read = Style(dialog.style);
      } else if (option == "EXSTYLE") {
        read = Style(dialog.exStyle);
      } else if (option == "CAPTION") {
        impliedStyle |= WS_CAPTION;
        read = String(dialog.caption);
      } else if (option == "FONT") {
        impliedStyle |= DS_SETFONT;
        read = Number(dialog.pointSize) && Comma() && String(dialog.fontName);
      } else if (option == "MENU") {
        read = NameOrNumber(dialog.menu);
      } else if (option == "CLASS") {
        read = NameOrNumber(dialog.windowClass);
      } else if (option == "LANGUAGE") {
        read = Language(result.language);
      } else {
        DWORD ignored = 0;  // CHARACTERISTICS and VERSION are for tools, not for the dialog
        read = Number(ignored);
      }
      if (!read) return false;
    }
    if (!styleGiven) dialog.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    dialog.style |= impliedStyle;

    if (!BlockStart()) return false;
    while (!AtBlockEnd()) {
      if (Peek().kind == Token::Kind::kEnd) return Fail("dialog without END");
      DialogControl control;
      if (!Control(control)) return false;
      dialog.controls.push_back(std::move(control));
    }
    Next();
    return true;
  }

  bool Control(DialogControl& control) {
    if (IsName("CONTROL")) {
      Next();
      // CONTROL text, id, class, style, x, y, cx, cy [, extended style]
      control.style = kChildStyle;
      if (!NameOrNumber(control.text) || !Comma() || !Number(control.id) || !Comma() ||
          !WindowClass(control.windowClass) || !Comma() || !Style(control.style) || !Comma() ||
          !Rectangle(control.x, control.y, control.cx, control.cy)) {
        return false;
      }
      return OptionalExtendedStyle(control.exStyle);
    }
    const ControlStatement* statement = nullptr;
    for (const ControlStatement& candidate : kControlStatements) {
      if (IsName(candidate.keyword)) statement = &candidate;
    }
    if (statement == nullptr) {
      return Fail(Peek().kind == Token::Kind::kName ? "unsupported control " + Peek().text
                                                    : std::string("expected a control or END"));
    }
    Next();
    // KEYWORD [text,] id, x, y, cx, cy [, style [, extended style]]
    control.windowClass.ordinal = statement->windowClass;
    if (statement->hasText && (!NameOrNumber(control.text) || !Comma())) return false;
    if (!Number(control.id) || !Comma() ||
        !Rectangle(control.x, control.y, control.cx, control.cy)) {
      return false;
    }
    control.style = kChildStyle | statement->defaultStyle;
    if (!IsPunctuation(",")) return true;
    Next();
    control.style = kChildStyle | statement->baseStyle;
    return Style(control.style) && OptionalExtendedStyle(control.exStyle);
  }

  bool WindowClass(NameOrOrdinal& windowClass) {
    if (!NameOrNumber(windowClass)) return false;
    if (windowClass.ordinal) return true;
    std::string name;
    for (char16_t unit : windowClass.text)
      name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    for (const auto& [predefined, ordinal] : kPredefinedClasses) {
      if (Upper(name) == predefined) windowClass = {ordinal, {}};
    }
    return true;
  }

  const std::vector<Token>& tokens_;
  std::size_t position_ = 0;
  std::string error_;
};

}  // namespace

ResourceScript ReadResourceScript(const std::string& path) {
  ResourceScript script;
  Preprocessor preprocessor;
  const bool read = preprocessor.Run(path);
  script.filesRead = std::move(preprocessor.files());
  if (!read) {
    script.error = std::move(preprocessor.error());
    return script;
  }
  Parser parser(preprocessor.tokens());
  if (!parser.Script(script.dialogs)) {
    script.dialogs.clear();
    script.error = parser.error();
  }
  return script;
}

}  // namespace dialog_resources
