// The classic DIALOG resource layout, little-endian 16-bit units throughout:
//   style, extended style (32 bits each), control count, x, y, cx, cy
//   menu, window class (name or ordinal), caption (text)
//   point size and font name, when the style has DS_SETFONT
//   then each control, aligned to 32 bits from the start of the template:
//   style, extended style, x, y, cx, cy, id, window class, text, creation data size and bytes
// A name or ordinal is one 0 unit (none), 0xFFFF and the ordinal, or a NUL-terminated text.
#include <dialog_resources.h>

namespace dialog_resources {
namespace {

constexpr WORD kOrdinalMark = 0xFFFF;

class TemplateWriter {
 public:
  void Word(WORD value) {
    bytes_.push_back(static_cast<BYTE>(value));
    bytes_.push_back(static_cast<BYTE>(value >> 8));
  }
  void Dword(DWORD value) {
    Word(static_cast<WORD>(value));
    Word(static_cast<WORD>(value >> 16));
  }
  void Text(const std::u16string& text) {
    for (char16_t unit : text) Word(unit);
    Word(0);
  }
  void Name(const NameOrOrdinal& name) {
    if (name.ordinal) {
      Word(kOrdinalMark);
      Word(*name.ordinal);
    } else {
      Text(name.text);
    }
  }
  void Bytes(const std::vector<BYTE>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void AlignToDword() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }

  std::vector<BYTE> Take() { return std::move(bytes_); }

 private:
  std::vector<BYTE> bytes_;
};

// Reads the layout with every read checked against the end of the data.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}

  bool Word(WORD& value) {
    if (offset_ > size_ || size_ - offset_ < 2) return false;
    value = static_cast<WORD>(data_[offset_] | data_[offset_ + 1] << 8);
    offset_ += 2;
    return true;
  }
  bool Dword(DWORD& value) {
    WORD low = 0, high = 0;
    if (!Word(low) || !Word(high)) return false;
    value = low | static_cast<DWORD>(high) << 16;
    return true;
  }
  bool Short(SHORT& value) {
    WORD word = 0;
    if (!Word(word)) return false;
    value = static_cast<SHORT>(word);
    return true;
  }
  bool Text(std::u16string& text) {
    text.clear();
    for (WORD unit = 0; Word(unit);) {
      if (unit == 0) return true;
      text.push_back(static_cast<char16_t>(unit));
    }
    return false;
  }
  bool Name(NameOrOrdinal& name) {
    name = {};
    WORD first = 0;
    if (!Word(first)) return false;
    if (first == 0) return true;
    if (first == kOrdinalMark) {
      WORD ordinal = 0;
      if (!Word(ordinal)) return false;
      name.ordinal = ordinal;
      return true;
    }
    name.text.push_back(static_cast<char16_t>(first));
    std::u16string rest;
    if (!Text(rest)) return false;
    name.text += rest;
    return true;
  }
  bool Bytes(std::size_t count, std::vector<BYTE>& bytes) {
    if (offset_ > size_ || count > size_ - offset_) return false;
    bytes.assign(data_ + offset_, data_ + offset_ + count);
    offset_ += count;
    return true;
  }
  void AlignToDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

bool ReadControl(TemplateReader& reader, DialogControl& control) {
  reader.AlignToDword();
  WORD extraBytes = 0;
  return reader.Dword(control.style) && reader.Dword(control.exStyle) && reader.Short(control.x) &&
         reader.Short(control.y) && reader.Short(control.cx) && reader.Short(control.cy) &&
         reader.Word(control.id) && reader.Name(control.windowClass) && reader.Name(control.text) &&
         reader.Word(extraBytes) && reader.Bytes(extraBytes, control.creationData);
}

}  // namespace

std::vector<BYTE> EncodeDialogTemplate(const DialogTemplate& dialog) {
  TemplateWriter writer;
  writer.Dword(dialog.style);
  writer.Dword(dialog.exStyle);
  writer.Word(static_cast<WORD>(dialog.controls.size()));
  for (SHORT value : {dialog.x, dialog.y, dialog.cx, dialog.cy}) writer.Word(value);
  writer.Name(dialog.menu);
  writer.Name(dialog.windowClass);
  writer.Text(dialog.caption);
  if (dialog.style & DS_SETFONT) {
    writer.Word(dialog.pointSize);
    writer.Text(dialog.fontName);
  }
  for (const DialogControl& control : dialog.controls) {
    writer.AlignToDword();
    writer.Dword(control.style);
    writer.Dword(control.exStyle);
    for (SHORT value : {control.x, control.y, control.cx, control.cy}) writer.Word(value);
    writer.Word(control.id);
    writer.Name(control.windowClass);
    writer.Name(control.text);
    writer.Word(static_cast<WORD>(control.creationData.size()));
    writer.Bytes(control.creationData);
  }
  return writer.Take();
}

std::optional<DialogTemplate> DecodeDialogTemplate(const BYTE* data, std::size_t size) {
  if (data == nullptr) return std::nullopt;
  TemplateReader reader(data, size);
  DialogTemplate dialog;
  WORD controlCount = 0;
  if (!reader.Dword(dialog.style)) return std::nullopt;
  // An extended template starts with version 1 and the signature 0xFFFF.
  if (dialog.style == 0xFFFF0001u) return std::nullopt;
  if (!reader.Dword(dialog.exStyle) || !reader.Word(controlCount) || !reader.Short(dialog.x) ||
      !reader.Short(dialog.y) || !reader.Short(dialog.cx) || !reader.Short(dialog.cy) ||
      !reader.Name(dialog.menu) || !reader.Name(dialog.windowClass) ||
      !reader.Text(dialog.caption)) {
    return std::nullopt;
  }
  if ((dialog.style & DS_SETFONT) &&
      (!reader.Word(dialog.pointSize) || !reader.Text(dialog.fontName))) {
    return std::nullopt;
  }
  dialog.controls.resize(controlCount);
  for (DialogControl& control : dialog.controls) {
    if (!ReadControl(reader, control)) return std::nullopt;
  }
  return dialog;
}

}  // namespace dialog_resources
