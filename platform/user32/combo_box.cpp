#include "user32/combo_box.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace user32 {
namespace {

// Sorted lists compare without regard to case, as Windows sorts them; an entry equal to
// others goes after them, so entries of the same text keep the order in which they came.
bool SortsBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

LRESULT ComboBox::Message(UINT message, WPARAM wParam, LPARAM lParam) {
  const auto position = static_cast<LRESULT>(static_cast<INT_PTR>(wParam));
  switch (message) {
    case CB_ADDSTRING:
      return Add(reinterpret_cast<const char*>(lParam));
    case CB_INSERTSTRING:
      return Insert(position, reinterpret_cast<const char*>(lParam));
    case CB_DELETESTRING:
      return Delete(position);
    case CB_RESETCONTENT:
      Reset();
      return CB_OKAY;
    case CB_GETCOUNT:
      return count();
    case CB_GETCURSEL:
      return selection_;
    case CB_SETCURSEL:
      return Select(position);
    case CB_GETITEMDATA:
      return ItemData(position);
    case CB_SETITEMDATA:
      return SetItemData(position, lParam);
    case CB_GETLBTEXTLEN: {
      const std::string* text = Text(position);
      return text == nullptr ? CB_ERR : static_cast<LRESULT>(text->size());
    }
    case CB_GETLBTEXT: {
      // The caller's buffer must hold the text and its terminator, as CB_GETLBTEXTLEN tells.
      const std::string* text = Text(position);
      if (text == nullptr || lParam == 0) return CB_ERR;
      std::memcpy(reinterpret_cast<char*>(lParam), text->c_str(), text->size() + 1);
      return static_cast<LRESULT>(text->size());
    }
    default:
      return 0;
  }
}

LRESULT ComboBox::Add(const char* text) {
  if (text == nullptr) return CB_ERR;
  if (!sorted_) return InsertAt(entries_.size(), text);
  const auto after = std::upper_bound(
      entries_.begin(), entries_.end(), std::string(text),
      [](const std::string& added, const Entry& entry) { return SortsBefore(added, entry.text); });
  return InsertAt(static_cast<std::size_t>(after - entries_.begin()), text);
}

LRESULT ComboBox::Insert(LRESULT position, const char* text) {
  if (text == nullptr || position < -1 || position > count()) return CB_ERR;
  return InsertAt(position == -1 ? entries_.size() : static_cast<std::size_t>(position), text);
}

LRESULT ComboBox::InsertAt(std::size_t position, const char* text) {
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position), Entry{text, 0});
  const auto inserted = static_cast<LRESULT>(position);
  // The selection follows its entry.
  if (selection_ != CB_ERR && inserted <= selection_) ++selection_;
  return inserted;
}

LRESULT ComboBox::Delete(LRESULT position) {
  if (!Valid(position)) return CB_ERR;
  entries_.erase(entries_.begin() + position);
  if (selection_ == position) {
    selection_ = CB_ERR;
  } else if (selection_ != CB_ERR && position < selection_) {
    --selection_;
  }
  return count();
}

void ComboBox::Reset() {
  entries_.clear();
  selection_ = CB_ERR;
}

LRESULT ComboBox::Select(LRESULT position) {
  selection_ = Valid(position) ? position : CB_ERR;
  return selection_;
}

LRESULT ComboBox::ItemData(LRESULT position) const {
  return Valid(position) ? static_cast<LRESULT>(entries_[position].data) : CB_ERR;
}

LRESULT ComboBox::SetItemData(LRESULT position, LPARAM data) {
  if (!Valid(position)) return CB_ERR;
  entries_[position].data = data;
  return CB_OKAY;
}

const std::string* ComboBox::Text(LRESULT position) const {
  return Valid(position) ? &entries_[position].text : nullptr;
}

}  // namespace user32
