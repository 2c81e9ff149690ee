#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <dialog_resources.h>

namespace {

using dialog_resources::DecodeDialogTemplate;
using dialog_resources::EncodeDialogTemplate;
using dialog_resources::ReadResourceScript;
using dialog_resources::ResourceScript;

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  return path;
}

ResourceScript ReadScript(const std::string& text) {
  return ReadResourceScript(WriteFile("script_test.rc", text));
}

TEST(ResourceScript, ControlStatementsTakeTheStylesThatWindresGives) {
  // Styles as windres writes them for the same statements.
  struct Case {
    const char* statement;
    DWORD style;
  };
  const Case cases[] = {
      {"COMBOBOX 1, 1, 1, 10, 10", 0x50010001},
      {"COMBOBOX 1, 1, 1, 10, 10, CBS_DROPDOWN", 0x50000002},
      {"PUSHBUTTON \"A\", 1, 1, 1, 10, 10, WS_GROUP", 0x50030000},
      {"PUSHBUTTON \"B\", 1, 1, 1, 10, 10, NOT WS_TABSTOP", 0x50000000},
      {"LTEXT \"E\", 1, 1, 1, 10, 10, NOT WS_GROUP", 0x50000000},
      {"LTEXT \"E\", 1, 1, 1, 10, 10, SS_CENTER", 0x50000001},
      {"CTEXT \"E\", 1, 1, 1, 10, 10", 0x50020001},
      {"LISTBOX 1, 1, 1, 10, 10, LBS_SORT", 0x50800003},
      {"EDITTEXT 1, 1, 1, 10, 10, ES_AUTOHSCROLL", 0x50810080},
      {"AUTORADIOBUTTON \"b\", 1, 1, 1, 10, 10", 0x50010009},
      {"GROUPBOX \"e\", 1, 1, 1, 10, 10", 0x50000007},
      {"DEFPUSHBUTTON \"OK\", IDOK, 1, 1, 10, 10", 0x50010001},
      {"CONTROL \"F\", 1, \"ComboBox\", NOT WS_VISIBLE | 3, 1, 1, 10, 10", 0x40000003},
  };
  for (const Case& c : cases) {
    const ResourceScript script =
        ReadScript(std::string("1 DIALOG 0, 0, 100, 100\nBEGIN\n") + c.statement + "\nEND\n");
    ASSERT_EQ(script.error, "") << c.statement;
    ASSERT_EQ(script.dialogs.size(), 1u);
    ASSERT_EQ(script.dialogs[0].dialog.controls.size(), 1u);
    EXPECT_EQ(script.dialogs[0].dialog.controls[0].style, c.style) << c.statement;
  }
}

TEST(ResourceScript, ReadsIncludesMacrosConditionalsAndLanguage) {
  WriteFile("script_ids.h",
            "#pragma once\n#define IDD_FIRST 7\n#define IDC_LIST (100 + 2)\n"
            "#ifndef IDC_STATIC\n#define IDC_STATIC (-1)\n#endif\n"
            "#ifdef IDD_FIRST\n#define LIST_STYLE CBS_DROPDOWNLIST | CBS_SORT\n#else\n"
            "#define LIST_STYLE broken\n#endif\n");
  const ResourceScript script = ReadScript(
      "#include <windows.h>\n#include \"script_ids.h\"\n#include \"script_ids.h\"\n"
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_UK\n"
      "/* a comment\n   over lines */\n"
      "IDD_FIRST DIALOG DISCARDABLE 1, 2, 30, 40 // the size\n"
      "CAPTION \"Say \"\"hi\"\"\\tthere\"\n"
      "FONT 8, \"MS Sans Serif\"\n"
      "{\n  COMBOBOX IDC_LIST, 1, 2, 3, 4, LIST_STYLE\n"
      "  LTEXT \"one\\n\" \"two\", IDC_STATIC, 0, 0, 5, 5\n}\n");
  ASSERT_EQ(script.error, "");
  ASSERT_EQ(script.filesRead.size(), 2u) << "a header with #pragma once is read once";
  ASSERT_EQ(script.dialogs.size(), 1u);
  const auto& [id, language, dialog] = script.dialogs[0];
  EXPECT_EQ(id, 7);
  EXPECT_EQ(language, 0x0809);
  // Without STYLE: the default, with what CAPTION and FONT imply.
  EXPECT_EQ(dialog.style, WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION | DS_SETFONT);
  EXPECT_EQ(dialog.caption, u"Say \"hi\"\tthere");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.fontName, u"MS Sans Serif");
  ASSERT_EQ(dialog.controls.size(), 2u);
  EXPECT_EQ(dialog.controls[0].id, 102);
  EXPECT_EQ(dialog.controls[0].style, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT);
  EXPECT_EQ(dialog.controls[1].id, 0xFFFF);
  EXPECT_EQ(dialog.controls[1].text.text, u"one\ntwo");
}

TEST(ResourceScript, SaysWhereTheScriptIsWrong) {
  struct Case {
    const char* script;
    const char* error;  // what the message ends with, after "file:line: "
  };
  const Case cases[] = {
      {"1 DIALOGEX 0, 0, 1, 1\nBEGIN\nEND\n", ":1: extended dialogs (DIALOGEX) are not supported"},
      {"1 ICON \"x.ico\"\n", ":1: only DIALOG resources are supported"},
      {"1 DIALOG 0, 0, 1, 1\nSTYLE WS_NOTHING\nBEGIN\nEND\n", ":2: unknown name WS_NOTHING"},
      {"1 DIALOG 0, 0, 1, 1\nCAPTION \"open\nBEGIN\nEND\n", ":2: string not closed"},
      {"1 DIALOG 0, 0, 1, 1\nBEGIN\nLTEXT \"a\", 1, 0, 0, 1, 1\n", ":3: dialog without END"},
      {"#if 1\n#endif\n", ":1: unsupported directive #if"},
      {"#define F(x) x\n", ":1: macros with arguments are not supported"},
      {"#include \"missing.h\"\n", "missing.h"},
  };
  for (const Case& c : cases) {
    const ResourceScript script = ReadScript(c.script);
    EXPECT_TRUE(script.dialogs.empty()) << c.script;
    const std::string expected = c.error;
    ASSERT_GE(script.error.size(), expected.size()) << c.script;
    EXPECT_EQ(script.error.substr(script.error.size() - expected.size()), expected) << script.error;
  }
}

TEST(DialogTemplate, RoundTripsAndRefusesEveryTruncation) {
  const ResourceScript script = ReadScript(
      "5 DIALOG 0, 0, 80, 40\nSTYLE WS_POPUP | DS_SETFONT\nCAPTION \"T\"\nFONT 8, \"F\"\n"
      "MENU 9\nBEGIN\n  CONTROL \"x\", 1, \"custom\", 0, 1, 1, 5, 5, 0x20\n"
      "  CONTROL 3, 2, \"Button\", BS_GROUPBOX, 1, 1, 5, 5\nEND\n");
  ASSERT_EQ(script.error, "");
  const auto& dialog = script.dialogs[0].dialog;
  EXPECT_EQ(dialog.controls[0].windowClass.text, u"custom");
  EXPECT_EQ(dialog.controls[0].exStyle, 0x20u);
  EXPECT_EQ(dialog.controls[1].windowClass.ordinal, dialog_resources::kButtonClass);
  EXPECT_EQ(dialog.controls[1].text.ordinal, 3);

  const std::vector<BYTE> bytes = EncodeDialogTemplate(dialog);
  const auto decoded = DecodeDialogTemplate(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, dialog);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    // Each cut copy has its own block, so that a read past its end is caught.
    const std::vector<BYTE> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(DecodeDialogTemplate(cut.data(), cut.size()).has_value()) << size;
  }
  const BYTE extended[] = {0x01, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(DecodeDialogTemplate(extended, sizeof(extended)).has_value());
}

}  // namespace
