// The list of a combo box: entries with a text and a 32-bit item datum, kept in text order
// when the box is sorted, and a selection that stays on its entry while others come and go.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace user32 {

class ComboBox {
 public:
  explicit ComboBox(bool sorted) : sorted_(sorted) {}

  // Answers a CB_ message; messages that are not for combo boxes give 0.
  LRESULT Message(UINT message, WPARAM wParam, LPARAM lParam);

  // Adds at the sorted position, or at the end of an unsorted list; the position, or CB_ERR.
  LRESULT Add(const char* text);
  // Inserts at position (-1: the end) whether sorted or not; the position, or CB_ERR.
  LRESULT Insert(LRESULT position, const char* text);
  // The count of entries left, or CB_ERR.
  LRESULT Delete(LRESULT position);
  void Reset();

  // Selects the position; out of range (or -1) clears the selection and gives CB_ERR.
  LRESULT Select(LRESULT position);
  LRESULT selection() const { return selection_; }  // CB_ERR when nothing is selected

  LRESULT count() const { return static_cast<LRESULT>(entries_.size()); }
  // The item datum, or CB_ERR for a position out of range.
  LRESULT ItemData(LRESULT position) const;
  LRESULT SetItemData(LRESULT position, LPARAM data);
  // The text at a position, or null.
  const std::string* Text(LRESULT position) const;

 private:
  struct Entry {
    std::string text;
    LPARAM data = 0;
  };

  bool Valid(LRESULT position) const { return position >= 0 && position < count(); }
  LRESULT InsertAt(std::size_t position, const char* text);

  bool sorted_;
  std::vector<Entry> entries_;
  LRESULT selection_ = CB_ERR;
};

}  // namespace user32
