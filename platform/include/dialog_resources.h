// Dialog templates: the classic binary layout that resource compilers write into a module and
// that the dialog manager reads back, its decoded form, and the reader of resource scripts
// that produces it at build time. Extended (DIALOGEX) templates are not supported.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace dialog_resources {

// Ordinals of the predefined window classes in a template.
inline constexpr WORD kButtonClass = 0x0080;
inline constexpr WORD kEditClass = 0x0081;
inline constexpr WORD kStaticClass = 0x0082;
inline constexpr WORD kListBoxClass = 0x0083;
inline constexpr WORD kScrollBarClass = 0x0084;
inline constexpr WORD kComboBoxClass = 0x0085;

// A name in a template: absent, an ordinal, or a text.
struct NameOrOrdinal {
  std::optional<WORD> ordinal;
  std::u16string text;

  bool empty() const { return !ordinal && text.empty(); }
  bool operator==(const NameOrOrdinal&) const = default;
};

struct DialogControl {
  DWORD style = 0;
  DWORD exStyle = 0;
  SHORT x = 0, y = 0, cx = 0, cy = 0;
  WORD id = 0;  // -1 (IDC_STATIC) is 0xFFFF
  NameOrOrdinal windowClass;
  NameOrOrdinal text;
  std::vector<BYTE> creationData;

  bool operator==(const DialogControl&) const = default;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  SHORT x = 0, y = 0, cx = 0, cy = 0;
  NameOrOrdinal menu;
  NameOrOrdinal windowClass;
  std::u16string caption;
  WORD pointSize = 0;  // with fontName, present when the style has DS_SETFONT
  std::u16string fontName;
  std::vector<DialogControl> controls;

  bool operator==(const DialogTemplate&) const = default;
};

// The template in the binary layout of a DIALOG resource.
std::vector<BYTE> EncodeDialogTemplate(const DialogTemplate& dialog);
// Reads a DIALOG resource; empty when the data is cut short or is an extended template.
std::optional<DialogTemplate> DecodeDialogTemplate(const BYTE* data, std::size_t size);

// One dialog of a resource script.
struct ScriptDialog {
  WORD id = 0;
  WORD language = 0;
  DialogTemplate dialog;
};

struct ResourceScript {
  std::vector<ScriptDialog> dialogs;
  std::vector<std::string> filesRead;  // the script and every header it included
  std::string error;                   // "file:line: what", empty on success
};

// Reads a resource script and the headers it includes with quotes (relative to the including
// file). Headers included with angle brackets stand for the platform's own definitions, which
// the reader knows. Supports #define of object-like macros, #ifdef, #ifndef, #else, #endif,
// #undef and #pragma; LANGUAGE; DIALOG with STYLE, EXSTYLE, CAPTION, FONT, MENU and CLASS; and
// the controls CONTROL, LTEXT, CTEXT, RTEXT, PUSHBUTTON, DEFPUSHBUTTON, GROUPBOX, CHECKBOX,
// AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, EDITTEXT, LISTBOX and COMBOBOX, with the
// default styles that windres gives them.
ResourceScript ReadResourceScript(const std::string& path);

}  // namespace dialog_resources
