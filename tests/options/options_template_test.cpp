#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <dialog_resources.h>
#include <module_resources.h>

#include "options/options_resource.h"

namespace {

using dialog_resources::DecodeDialogTemplate;
using dialog_resources::DialogTemplate;

const ModuleResource* FindOptionsDialog() {
  HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDD_OPTIONS), RT_DIALOG);
  return reinterpret_cast<const ModuleResource*>(found);
}

TEST(OptionsTemplate, IsTheClassicEnglishUkDialogWithItsSevenControls) {
  const ModuleResource* resource = FindOptionsDialog();
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(resource->language, 0x0809);
  const auto dialog = DecodeDialogTemplate(resource->data, resource->size);
  ASSERT_TRUE(dialog.has_value()) << "a classic, not an extended, template";

  EXPECT_EQ(dialog->style, 0x80C800C0u);
  EXPECT_EQ(dialog->exStyle, 0u);
  EXPECT_EQ(dialog->x, 0);
  EXPECT_EQ(dialog->y, 0);
  EXPECT_EQ(dialog->cx, 216);
  EXPECT_EQ(dialog->cy, 143);
  EXPECT_TRUE(dialog->menu.empty());
  EXPECT_TRUE(dialog->windowClass.empty());
  EXPECT_EQ(dialog->caption, u"Windows Media Audio Options");
  EXPECT_EQ(dialog->pointSize, 8);
  EXPECT_EQ(dialog->fontName, u"MS Sans Serif");

  struct Expected {
    WORD id;
    WORD windowClass;
    DWORD style;
    SHORT x, y, cx, cy;
    const char16_t* text;  // null: the about text, checked below
  };
  const Expected controls[] = {
      {1006, dialog_resources::kComboBoxClass, 0x50210003, 14, 75, 35, 40, u""},
      {1004, dialog_resources::kComboBoxClass, 0x50210103, 56, 75, 146, 80, u""},
      {1005, dialog_resources::kComboBoxClass, 0x50210103, 14, 94, 188, 80, u""},
      {1, dialog_resources::kButtonClass, 0x50010001, 101, 122, 50, 14, u"OK"},
      {2, dialog_resources::kButtonClass, 0x50010000, 159, 122, 50, 14, u"Cancel"},
      {0xFFFF, dialog_resources::kStaticClass, 0x50020001, 7, 7, 202, 51, nullptr},
      {0xFFFF, dialog_resources::kButtonClass, 0x50000007, 7, 62, 202, 53, u"Encoder Settings"},
  };
  ASSERT_EQ(dialog->controls.size(), std::size(controls));
  for (std::size_t i = 0; i < std::size(controls); ++i) {
    const auto& actual = dialog->controls[i];
    const Expected& expected = controls[i];
    EXPECT_EQ(actual.id, expected.id) << i;
    EXPECT_EQ(actual.windowClass.ordinal, expected.windowClass) << i;
    EXPECT_EQ(actual.style, expected.style) << i;
    EXPECT_EQ(actual.exStyle, 0u) << i;
    EXPECT_EQ(actual.x, expected.x) << i;
    EXPECT_EQ(actual.y, expected.y) << i;
    EXPECT_EQ(actual.cx, expected.cx) << i;
    EXPECT_EQ(actual.cy, expected.cy) << i;
    if (expected.text != nullptr) {
      EXPECT_EQ(actual.text.text, expected.text) << i;
    }
    EXPECT_TRUE(actual.creationData.empty()) << i;
  }

  // Six lines: the filter, a contact, an empty line and three of the format owner's notice.
  const std::u16string& about = dialog->controls[5].text.text;
  std::vector<std::u16string> lines(1);
  for (char16_t unit : about) {
    if (unit == u'\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(unit);
    }
  }
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_NE(lines[0].find(u"Windows Media Audio file filter"), std::u16string::npos);
  EXPECT_FALSE(lines[1].empty());
  EXPECT_TRUE(lines[2].empty());
  EXPECT_NE(lines[3].find(u"Windows Media"), std::u16string::npos);
  EXPECT_NE(lines[4].find(u"Microsoft"), std::u16string::npos);
}

// The dialog that windres puts in the Windows DLL, read from its .res output: a 32-byte empty
// entry, then entries of a header (data size, header size, type, name, ...) and the data.
std::vector<BYTE> WindresDialog(const std::string& resFile) {
  std::ifstream file(resFile, std::ios::binary);
  const std::vector<BYTE> bytes((std::istreambuf_iterator<char>(file)), {});
  auto read32 = [&](std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<DWORD>(bytes[at + 3]) << 24;
  };
  for (std::size_t at = 0; at + 16 <= bytes.size();) {
    const DWORD dataSize = read32(at);
    const DWORD headerSize = read32(at + 4);
    const bool isDialog =
        read32(at + 8) == 0x0005FFFF && read32(at + 12) == (0xFFFFu | IDD_OPTIONS << 16);
    if (isDialog && at + headerSize + dataSize <= bytes.size()) {
      return {bytes.begin() + at + headerSize, bytes.begin() + at + headerSize + dataSize};
    }
    at += (headerSize + dataSize + 3) & ~3u;
  }
  return {};
}

TEST(OptionsTemplate, IsByteForByteWhatWindresPutsInTheDll) {
#ifndef WMAFILTER_WINDRES
  GTEST_SKIP() << "windres is not installed";
#else
  const std::string res = ::testing::TempDir() + "options_dialog.res";
  const std::string command =
      std::string(WMAFILTER_WINDRES) + " -O res -o " + res + " " + WMAFILTER_OPTIONS_SCRIPT;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<BYTE> windres = WindresDialog(res);
  std::remove(res.c_str());
  ASSERT_FALSE(windres.empty());
  const ModuleResource* ours = FindOptionsDialog();
  ASSERT_NE(ours, nullptr);
  EXPECT_EQ(std::vector<BYTE>(ours->data, ours->data + ours->size), windres);
#endif
}

}  // namespace
