// Form1's handlers on the Windows window, where the face matters: start-up sets
// the real controls, the real list's Delete key and "Clear List" reach the
// handlers, and the pointers follow the mouse. Needs a display.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "face_win32/win32_face.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/window/scripted_face.h"
#include "window/form1.h"
#include "window/form1_events.h"

namespace face_win32 {
namespace {

class Win32Form1Test : public ::testing::Test {
 protected:
  window::Form1& Make() {
    form_ = std::make_unique<window::Form1>(face_, window::FormServices{.dialogs = dialogs_,
                                                             .pump = pump_,
                                                             .random = random_,
                                                             .settings = settings_,
                                                             .app_folder = RESOURCES_DIR,
                                                             .end_program = [] {}});
    events_ = std::make_unique<window::Form1Events>(*form_, dialogs_);
    face_.Attach(events_.get());
    return *form_;
  }
  bool Enabled(ControlId id) { return IsWindowEnabled(face_.Control(id)) != FALSE; }

  Win32Face face_{GetModuleHandleW(nullptr), 96};
  testing_support::ScriptedDialogs dialogs_;
  testing_support::ScriptedPump pump_;
  testing_support::FixedRandom random_{50};
  window_testing::MemorySettings settings_;
  std::unique_ptr<window::Form1> form_;
  std::unique_ptr<window::Form1Events> events_;
};

TEST_F(Win32Form1Test, StartUpSetsTheRealControls) {
  Make().Form_Load();
  wchar_t caption[64] = {};
  GetWindowTextW(face_.Window(), caption, 64);
  EXPECT_STREQ(caption, L"Mailvane");
  EXPECT_EQ(face_.ListHeader(), "MSG File(s)");
  EXPECT_EQ(face_.ListColumnWidthPixels(), TwipsToPixels(window::kColumnTwips, 96));
  EXPECT_TRUE(form_->HasHandPointer());           // HAND-M.CUR beside the program
  EXPECT_TRUE(face_.Option1Value());
  EXPECT_TRUE(Enabled(kText1) && Enabled(kPushButton9));
  // The desktop folder Windows names, with a trailing backslash, stored as it is shown.
  const std::string text = face_.Text1Value();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\\');
  EXPECT_EQ(settings_.Stored("Text1"), text);
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(Win32Form1Test, StoredOptionsDisableTheOutputFolder) {
  settings_.values = {{"Option1", "False"}, {"Option2", "True"}, {"Text1", "C:\\Out\\"}};
  Make().Form_Load();
  EXPECT_TRUE(face_.Option2Value());
  EXPECT_FALSE(face_.Option1Value());
  EXPECT_FALSE(Enabled(kText1));
  EXPECT_FALSE(Enabled(kPushButton9));
  EXPECT_EQ(face_.Text1Value(), "C:\\Out\\");
  // A click on Option1 selects it, stores both and enables the box again.
  SendMessageW(face_.Control(kOption1), BM_CLICK, 0, 0);
  EXPECT_TRUE(Enabled(kText1));
  EXPECT_EQ(settings_.Stored("Option1"), "True");
  EXPECT_EQ(settings_.Stored("Option2"), "False");
}

TEST_F(Win32Form1Test, DeleteKeyAndClearListOnTheRealList) {
  window::Form1& form = Make();
  form.Form_Load();
  dialogs_.file_answers.push_back({"C:\\Mail\\a.msg", "C:\\Mail\\b.msg", "C:\\Mail\\c.msg"});
  SendMessageW(face_.Control(kPushButton1), BM_CLICK, 0, 0);
  ASSERT_EQ(face_.ItemCount(), 3);

  face_.SetCurrentItem(2);
  SendMessageW(face_.Control(kListView1), WM_KEYDOWN, VK_BACK, 0);  // not Delete: nothing
  EXPECT_EQ(face_.ItemCount(), 3);
  SendMessageW(face_.Control(kListView1), WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_EQ(face_.ItemCount(), 2);
  EXPECT_EQ(face_.ItemText(2), "C:\\Mail\\c.msg");

  form.SetHourglass();  // busy: refused
  SendMessageW(face_.Control(kPushButton6), BM_CLICK, 0, 0);
  EXPECT_EQ(face_.ItemCount(), 2);
  EXPECT_EQ(face_.CursorFor(face_.FormPointer()), LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_EQ(face_.ListCursor(), LoadCursorW(nullptr, IDC_WAIT));
  form.SetDefaultPointer();
  SendMessageW(face_.Control(kPushButton6), BM_CLICK, 0, 0);
  EXPECT_EQ(face_.ItemCount(), 0);
}

TEST_F(Win32Form1Test, PointersFollowTheMouse) {
  Make().Form_Load();
  SendMessageW(face_.Control(kPushButton2), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(face_.FormPointer(), window::Pointer::kHand);
  EXPECT_NE(face_.CursorFor(window::Pointer::kHand), LoadCursorW(nullptr, IDC_ARROW));
  SendMessageW(face_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));  // the background
  EXPECT_EQ(face_.FormPointer(), window::Pointer::kDefault);

  face_.AddItem("C:\\a.msg");
  face_.SetCurrentItem(1);
  form_->ListView1_ItemClick();  // the drag pointer from drag.ico beside the program
  EXPECT_NE(face_.ListCursor(), nullptr);
  SendMessageW(face_.Control(kListView1), WM_LBUTTONUP, 0, MAKELPARAM(5, 30));
  EXPECT_EQ(face_.ListCursor(), nullptr);
}

}  // namespace
}  // namespace face_win32
