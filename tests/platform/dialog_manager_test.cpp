#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include <dialog_testing.h>
#include <windows.h>

#include "platform/test_dialogs.h"

namespace {

using platform_testing::DialogUser;
using platform_testing::ListEntry;
using platform_testing::ScopedDialogScript;

constexpr INT_PTR kOkResult = 11;
constexpr INT_PTR kCancelResult = 22;
constexpr LPARAM kCreationParameter = 1234;
constexpr UINT kPrivateMessage = 0x8001;  // WM_APP + 1

struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Message&) const = default;
};

// What the test procedure saw, and how it behaves.
struct ProcedureState {
  std::vector<Message> messages;
  bool endsOnCancel = true;
};
ProcedureState* state = nullptr;

INT_PTR CALLBACK TestProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  state->messages.push_back({message, wParam, lParam});
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) return EndDialog(window, kOkResult);
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && state->endsOnCancel) {
    return EndDialog(window, kCancelResult);
  }
  return FALSE;
}

LRESULT ToList(HWND dialog, int list, UINT message, WPARAM wParam = 0, const char* text = nullptr) {
  return SendDlgItemMessageA(dialog, list, message, wParam, reinterpret_cast<LPARAM>(text));
}

class DialogManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { state = &state_; }
  void TearDown() override { state = nullptr; }

  INT_PTR Run(platform_testing::DialogScript script) {
    ScopedDialogScript installed(std::move(script));
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(IDD_TEST), nullptr,
                           TestProcedure, kCreationParameter);
  }

  bool Saw(const Message& message) const {
    return std::find(state_.messages.begin(), state_.messages.end(), message) !=
           state_.messages.end();
  }

  ProcedureState state_;
};

TEST_F(DialogManagerTest, InitialisesFromTheTemplateAndEndsWithTheResult) {
  HWND window = nullptr;
  const INT_PTR result = Run([&](DialogUser& user) {
    window = user.window();
    EXPECT_EQ(user.Caption(), "Test dialog");
    EXPECT_EQ(user.ControlText(IDC_TEXT), "Some text");
    EXPECT_EQ(user.ControlText(IDOK), "OK");
    EXPECT_TRUE(user.PressEnter());
    EXPECT_TRUE(user.ended());
    EXPECT_FALSE(user.PressEscape()) << "an ended dialog takes no more input";
  });
  EXPECT_EQ(result, kOkResult);
  ASSERT_FALSE(state_.messages.empty());
  // The first tab stop comes with WM_INITDIALOG, which carries the creation parameter.
  EXPECT_EQ(state_.messages.front().message, WM_INITDIALOG);
  EXPECT_EQ(state_.messages.front().lParam, kCreationParameter);
  EXPECT_NE(state_.messages.front().wParam, 0u);
  EXPECT_FALSE(IsWindow(window)) << "the dialog's windows go when it ends";
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_PLAIN, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(DialogManagerTest, SortedListGivesPositionsAndTheSelectionFollowsItsEntry) {
  Run([](DialogUser& user) {
    HWND dialog = user.window();
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "bravo"), 0);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "delta"), 1);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETCURSEL, 1), 1);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "alpha"), 0);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "Charlie"), 2) << "case is ignored";
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "echo"), 4);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), 3);
    EXPECT_EQ(user.SelectedText(IDC_SORTED), "delta");
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETITEMDATA, 3, nullptr), CB_OKAY);
    SendDlgItemMessageA(dialog, IDC_SORTED, CB_SETITEMDATA, 0, 0x7654321);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETITEMDATA, 0), 0x7654321);

    // Deleting before the selection moves it; deleting it clears it.
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_DELETESTRING, 0), 4);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), 2);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_DELETESTRING, 2), 3);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(user.List(IDC_SORTED),
              (std::vector<ListEntry>{{"bravo", 0}, {"Charlie", 0}, {"echo", 0}}));
  });
}

TEST_F(DialogManagerTest, UnsortedListKeepsTheOrderOfAdditionAndInsertion) {
  Run([](DialogUser& user) {
    HWND dialog = user.window();
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_ADDSTRING, 0, "VBR"), 0);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_ADDSTRING, 0, "CBR"), 1);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_INSERTSTRING, 1, "ABR"), 1);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_INSERTSTRING, static_cast<WPARAM>(-1), "last"), 3);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_INSERTSTRING, 9, "beyond"), CB_ERR);
    char text[8] = {};
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_GETLBTEXTLEN, 1), 3);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_GETLBTEXT, 1, text), 3);
    EXPECT_STREQ(text, "ABR");
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_GETLBTEXT, 4, text), CB_ERR);
    EXPECT_EQ(ToList(dialog, IDC_PLAIN, CB_GETCOUNT), 4);
  });
}

TEST_F(DialogManagerTest, NoSelectionReadsAsCbErr) {
  Run([](DialogUser& user) {
    HWND dialog = user.window();
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETCURSEL, 0), CB_ERR) << "an empty list";
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETITEMDATA, static_cast<WPARAM>(CB_ERR)), CB_ERR);

    ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "one");
    ToList(dialog, IDC_SORTED, CB_ADDSTRING, 0, "two");
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETCURSEL, 1), 1);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETCURSEL, 2), CB_ERR) << "out of range clears";
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_SETCURSEL, 0), 0);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_RESETCONTENT), CB_OKAY);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCOUNT), 0);
    EXPECT_EQ(ToList(dialog, IDC_SORTED, CB_GETCURSEL), CB_ERR);

    EXPECT_EQ(SendDlgItemMessageA(dialog, 999, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
  });
}

TEST_F(DialogManagerTest, PickingAnEntryNotifiesTheDialog) {
  HWND list = nullptr;
  Run([&](DialogUser& user) {
    list = GetDlgItem(user.window(), IDC_SORTED);
    ToList(user.window(), IDC_SORTED, CB_ADDSTRING, 0, "b");
    ToList(user.window(), IDC_SORTED, CB_ADDSTRING, 0, "a");
    EXPECT_TRUE(user.SelectText(IDC_SORTED, "b"));
    EXPECT_EQ(user.Selection(IDC_SORTED), 1);
    EXPECT_FALSE(user.Select(IDC_SORTED, 2));
    EXPECT_FALSE(user.Select(IDC_TEXT, 0)) << "not a list";
    EXPECT_TRUE(user.Click(IDCANCEL));
  });
  const Message selectionChange{WM_COMMAND, MAKEWPARAM(IDC_SORTED, CBN_SELCHANGE),
                                reinterpret_cast<LPARAM>(list)};
  EXPECT_EQ(std::count(state_.messages.begin(), state_.messages.end(), selectionChange), 1);
}

TEST_F(DialogManagerTest, PostedMessagesWaitForTheMessageLoop) {
  Run([&](DialogUser& user) {
    const Message posted{kPrivateMessage, 5, 6};
    EXPECT_TRUE(PostMessageA(user.window(), kPrivateMessage, 5, 6));
    EXPECT_FALSE(Saw(posted));
    ToList(user.window(), IDC_PLAIN, CB_ADDSTRING, 0, "entry");
    user.Select(IDC_PLAIN, 0);  // the loop runs again after the user's action
    EXPECT_TRUE(Saw(posted));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x4), kPrivateMessage, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  });
}

TEST_F(DialogManagerTest, EscapeAndTheCloseBoxCancel) {
  EXPECT_EQ(Run([](DialogUser& user) { user.PressEscape(); }), kCancelResult);
  // The procedure leaves WM_CLOSE alone: the dialog manager turns it into Cancel.
  EXPECT_EQ(Run([](DialogUser& user) { user.CloseBox(); }), kCancelResult);
  EXPECT_TRUE(Saw({WM_CLOSE, 0, 0}));
}

TEST_F(DialogManagerTest, AUserWhoLeavesClosesTheBoxAndNothingWaitsForEver) {
  state_.messages.clear();
  EXPECT_EQ(Run([](DialogUser&) {}), kCancelResult);
  EXPECT_TRUE(Saw({WM_CLOSE, 0, 0}));

  state_.endsOnCancel = false;
  EXPECT_EQ(Run([](DialogUser&) {}), 0) << "a dialog that will not close ends as cancelled";
}

TEST_F(DialogManagerTest, FailuresToCreateTheDialog) {
  ScopedDialogScript never([](DialogUser&) { ADD_FAILURE() << "no dialog should open"; });
  HMODULE program = GetModuleHandleA(nullptr);
  EXPECT_EQ(DialogBoxParamA(program, MAKEINTRESOURCE(999), nullptr, TestProcedure, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(DialogBoxParamA(program, MAKEINTRESOURCE(IDD_TEST), nullptr, nullptr, 0), -1);
  // As on Windows, an invalid parent gives 0 rather than -1.
  EXPECT_EQ(DialogBoxParamA(program, MAKEINTRESOURCE(IDD_TEST), reinterpret_cast<HWND>(0x4),
                            TestProcedure, 0),
            0);
  // A module built without a resource script has no resources.
  HMODULE platform = GetModuleHandleA("libwinplatform.so");
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(FindResourceA(platform, MAKEINTRESOURCE(IDD_TEST), RT_DIALOG), nullptr);
  EXPECT_EQ(DialogBoxParamA(platform, MAKEINTRESOURCE(IDD_TEST), nullptr, TestProcedure, 0), -1);
  EXPECT_TRUE(state_.messages.empty());
}

}  // namespace
