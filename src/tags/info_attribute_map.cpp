#include "tags/info_attribute_map.h"

#include <cstring>

#include "common/wide_text.h"

namespace {

// "INAM" carries the album title; the title itself travels in the display chunk "DISP".
constexpr InfoAttribute InfoAttributeMap[] = {
    {"IART", WSTR("Author")},      {"ICMT", WSTR("Description")}, {"ICOP", WSTR("Copyright")},
    {"ICRD", WSTR("WM/Year")},     {"IGNR", WSTR("WM/Genre")},    {"INAM", WSTR("WM/AlbumTitle")},
    {"ISFT", WSTR("WM/ToolName")}, {"DISP", WSTR("Title")},
};

constexpr WCHAR FoldAsciiCase(WCHAR unit) {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<WCHAR>(unit - u'A' + u'a') : unit;
}

bool EqualIgnoringAsciiCase(const WCHAR* a, const WCHAR* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (FoldAsciiCase(*a) != FoldAsciiCase(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

const InfoAttribute* FindInfoAttributeByChunkId(LPCSTR chunkId) {
  for (const InfoAttribute& row : InfoAttributeMap) {
    if (std::strcmp(row.chunkId, chunkId) == 0) return &row;
  }
  return nullptr;
}

const InfoAttribute* FindInfoAttributeByName(const WCHAR* name) {
  for (const InfoAttribute& row : InfoAttributeMap) {
    if (EqualIgnoringAsciiCase(row.attributeName, name)) return &row;
  }
  return nullptr;
}
