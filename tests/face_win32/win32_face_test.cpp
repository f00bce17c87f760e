// The Windows window's face, under Wine: controls at their places, texts and
// fonts, enabling, list operations, pointers, the bar, and what reaches the
// handlers. Needs a display (scripts/windows-test.sh runs Xvfb).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <limits>
#include <thread>

#include "face_win32/input_box.h"
#include "face_win32/progress_bar.h"
#include "face_win32/skin_colours.h"
#include "face_win32/win32_dialogs.h"
#include "face_win32/wide_text.h"
#include "face_win32/win32_face.h"
#include "platform/error_report.h"
#include "window/form_events.h"

namespace face_win32 {
namespace {

// Records what the face reports.
struct Recorder : window::FormEvents {
  std::vector<std::string> calls;
  bool accept_drop = true;
  std::vector<std::string> dropped;

  void PushButtonClick(int number) override { calls.push_back("PushButton" + std::to_string(number)); }
  void OptionClick(int number) override { calls.push_back("Option" + std::to_string(number)); }
  void Text1Change() override { calls.push_back("Text1_Change"); }
  void ListKeyDown(int, int) override { calls.push_back("KeyDown"); }
  void ListDblClick() override { calls.push_back("DblClick"); }
  void ListItemClick() override { calls.push_back("ItemClick"); }
  void ListMouseDown(int, int, int) override { calls.push_back("MouseDown"); }
  void ListMouseMove(int, int, int) override {}
  void ListMouseUp(int, int, int) override { calls.push_back("MouseUp"); }
  bool ListDragOver(const std::vector<std::string>&) override {
    calls.push_back("DragOver");
    return accept_drop;
  }
  void ListDragDrop(const std::vector<std::string>& paths) override {
    calls.push_back("DragDrop");
    dropped = paths;
  }
  void FormMouseMove() override {}
  void Frame1MouseMove() override {}
  void Frame4MouseMove() override {}
  void PushButtonMouseMove() override {}
  void Unload() override { calls.push_back("Unload"); }
};

class Win32FaceTest : public ::testing::Test {
 protected:
  Win32FaceTest() : face_(GetModuleHandleW(nullptr), 96) { face_.Attach(&events_); }

  RECT PlaceOf(ControlId id) {
    RECT rect;
    GetWindowRect(face_.Control(id), &rect);
    MapWindowPoints(nullptr, face_.Window(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  std::wstring TextOf(ControlId id) {
    wchar_t text[256] = {};
    GetWindowTextW(face_.Control(id), text, 256);
    return text;
  }

  Recorder events_;
  Win32Face face_;
};

// Every control of the form's table at its place, in pixels at the face's dpi,
// with its window class, caption and font.
TEST(Win32FaceLayoutTest, EveryControlStandsAtItsTablePlace) {
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    Win32Face face(GetModuleHandleW(nullptr), dpi);
    RECT client;
    GetClientRect(face.Window(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(window::kClientTwipsWide, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(window::kClientTwipsHigh, dpi));
    for (const window::ControlSpec& spec : window::Controls()) {
      SCOPED_TRACE(spec.name);
      HWND control = face.Control(spec.id);
      ASSERT_NE(control, nullptr);
      wchar_t name[64] = {};
      GetClassNameW(control, name, 64);
      const std::wstring expected_class = spec.kind == ControlKind::kListView      ? L"SysListView32"
                                          : spec.kind == ControlKind::kTextBox     ? L"Edit"
                                          : spec.kind == ControlKind::kProgressBar ? kProgressBarClass
                                                                                   : L"Button";
      EXPECT_EQ(name, expected_class);
      wchar_t text[256] = {};
      GetWindowTextW(control, text, 256);
      EXPECT_EQ(Utf8(text), spec.caption);
      RECT place;
      GetWindowRect(control, &place);
      MapWindowPoints(nullptr, face.Window(), reinterpret_cast<POINT*>(&place), 2);
      const window::TwipRect twips = window::PlaceInWindow(spec.id);
      EXPECT_EQ(place.left, TwipsToPixels(twips.left, dpi));
      EXPECT_EQ(place.top, TwipsToPixels(twips.top, dpi));
      EXPECT_EQ(place.right, TwipsToPixels(twips.right, dpi));
      EXPECT_EQ(place.bottom, TwipsToPixels(twips.bottom, dpi));
      LOGFONTW font{};
      auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
      ASSERT_NE(handle, nullptr);
      GetObjectW(handle, sizeof font, &font);
      EXPECT_EQ(Utf8(font.lfFaceName), spec.font->family);
      EXPECT_EQ(font.lfWeight, spec.font->bold ? FW_BOLD : FW_NORMAL);
      EXPECT_EQ(font.lfHeight, -MulDiv(spec.font->centipoints, dpi, 7200));
    }
  }
}

TEST_F(Win32FaceTest, OptionsTextAndFrame4) {
  EXPECT_TRUE(face_.Option1Value());
  EXPECT_FALSE(face_.Option2Value());
  // A click is reported as it is; which option it selects is Form1's to say.
  SendMessageW(face_.Control(kOption2), BM_CLICK, 0, 0);
  EXPECT_FALSE(face_.Option2Value());
  EXPECT_TRUE(face_.Option1Value());
  face_.SetOption1Value(false);
  face_.SetOption2Value(true);
  EXPECT_TRUE(face_.Option2Value());
  // Set without a click: no handler.
  face_.SetOption1Value(true);
  face_.SetOption2Value(false);
  EXPECT_TRUE(face_.Option1Value());

  face_.SetText1("C:\\Mail Out\\");
  face_.SetText1("C:\\Mail Out\\");  // the same text changes nothing
  EXPECT_EQ(face_.Text1Value(), "C:\\Mail Out\\");

  face_.SetFrame4Enabled(false);
  for (ControlId id : {kFrame4, kText1, kPushButton9}) EXPECT_FALSE(IsWindowEnabled(face_.Control(id))) << id;
  EXPECT_TRUE(IsWindowEnabled(face_.Control(kOption1)));
  face_.SetFrame4Enabled(true);
  for (ControlId id : {kFrame4, kText1, kPushButton9}) EXPECT_TRUE(IsWindowEnabled(face_.Control(id))) << id;

  EXPECT_EQ(events_.calls, (std::vector<std::string>{"Option2", "Text1_Change"}));
}

TEST_F(Win32FaceTest, EachPushButtonReachesItsHandler) {
  for (ControlId id : {kPushButton1, kPushButton2, kPushButton3, kPushButton4, kPushButton6, kPushButton7,
                       kPushButton9}) {
    SendMessageW(face_.Control(id), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(events_.calls, (std::vector<std::string>{"PushButton1", "PushButton2", "PushButton3", "PushButton4",
                                                     "PushButton6", "PushButton7", "PushButton9"}));
}

TEST_F(Win32FaceTest, ListOperations) {
  face_.SetListHeader("MSG File(s)");
  EXPECT_EQ(face_.ListColumnWidthPixels(), TwipsToPixels(window::kColumnTwips, 96));
  face_.SetListColumnWidth(7800);
  EXPECT_EQ(face_.ListHeader(), "MSG File(s)");
  EXPECT_EQ(face_.ListColumnWidthPixels(), 520);

  const std::string long_path = "C:\\" + std::string(600, 'a') + ".msg";
  const std::string names[] = {"C:\\Mail\\a.msg", "Z:\\Почта\\письмо.msg", "\\\\server\\share\\郵件.msg",
                               long_path};
  for (const std::string& name : names) face_.AddItem(name);
  ASSERT_EQ(face_.ItemCount(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(face_.ItemText(i + 1), names[i]);
  EXPECT_EQ(face_.ItemText(0), "");
  EXPECT_EQ(face_.ItemText(5), "");

  EXPECT_EQ(face_.SelectedItem(), 0);
  face_.SetCurrentItem(3);
  EXPECT_EQ(face_.SelectedItem(), 3);
  face_.SetItemText(1, "C:\\b.msg");
  EXPECT_EQ(face_.ItemText(1), "C:\\b.msg");

  RECT row{LVIR_BOUNDS, 0, 0, 0};
  SendMessageW(face_.Control(kListView1), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(face_.ItemAt(row.left + 5, (row.top + row.bottom) / 2), 2);
  EXPECT_EQ(face_.ItemAt(5, 160), 0);  // below the rows

  face_.RemoveItem(1);
  EXPECT_EQ(face_.ItemCount(), 3);
  EXPECT_EQ(face_.ItemText(1), names[1]);
  face_.ClearItems();
  EXPECT_EQ(face_.ItemCount(), 0);
}

TEST_F(Win32FaceTest, DropsReachTheHandlersOnlyWhenAccepted) {
  face_.DropFiles({"C:\\a.msg", "C:\\Mail"});
  EXPECT_EQ(events_.dropped, (std::vector<std::string>{"C:\\a.msg", "C:\\Mail"}));
  events_.accept_drop = false;
  events_.dropped.clear();
  face_.DropFiles({"C:\\b.txt"});
  EXPECT_TRUE(events_.dropped.empty());
  EXPECT_EQ(events_.calls, (std::vector<std::string>{"DragOver", "DragDrop", "DragOver"}));
}

TEST_F(Win32FaceTest, Pointers) {
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(face_.CursorFor(window::Pointer::kHand), arrow);  // nothing loaded yet
  face_.LoadHandPointer(RESOURCES_DIR "/HAND-M.CUR");
  EXPECT_NE(face_.CursorFor(window::Pointer::kHand), arrow);
  EXPECT_THROW(face_.LoadHandPointer(RESOURCES_DIR "/mailvane.svg"), platform::Failure);
  EXPECT_THROW(face_.LoadHandPointer("Z:/no/such/file.cur"), platform::Failure);
  EXPECT_NE(face_.CursorFor(window::Pointer::kHand), arrow);  // the loaded one stays

  face_.SetFormPointer(window::Pointer::kHourglass);
  EXPECT_EQ(face_.FormPointer(), window::Pointer::kHourglass);
  EXPECT_EQ(face_.CursorFor(face_.FormPointer()), LoadCursorW(nullptr, IDC_WAIT));

  // The list shows what it is told: its own arrow, the hourglass or the drag pointer.
  EXPECT_EQ(face_.ListCursor(), nullptr);
  face_.SetListPointer(window::Pointer::kHourglass);
  EXPECT_EQ(face_.ListCursor(), LoadCursorW(nullptr, IDC_WAIT));
  face_.LoadDragPointer(RESOURCES_DIR "/drag.ico");
  face_.SetListPointer(window::Pointer::kDrag);
  const HCURSOR drag = face_.ListCursor();
  EXPECT_NE(drag, arrow);
  EXPECT_THROW(face_.LoadDragPointer("Z:/no/such/drag.ico"), platform::Failure);
  EXPECT_EQ(face_.ListCursor(), drag);
  face_.SetListPointer(window::Pointer::kDefault);
  EXPECT_EQ(face_.ListCursor(), nullptr);
}

TEST_F(Win32FaceTest, ProgressBarKeepsTextAndValue) {
  face_.SetProgressText("3 of 5");
  face_.SetProgressValue(150);
  EXPECT_EQ(face_.ProgressText(), "3 of 5");
  EXPECT_EQ(face_.ProgressValue(), 150);
  for (const auto& [value, filled] : {std::pair{-5.0, 0.0}, {0.0, 0.0}, {40.0, 0.4}, {100.0, 1.0}, {150.0, 1.0},
                                      {std::numeric_limits<double>::quiet_NaN(), 0.0}}) {
    EXPECT_DOUBLE_EQ(FilledFraction(value), filled) << value;
  }
}

TEST(SkinColoursTest, TakesTheWindowsAndTheFramesColours) {
  const struct {
    const char* sheet;
    std::optional<COLORREF> background, text;
  } cases[] = {
      {"QWidget#Form1 { background-color: #eef3f9; }\nQGroupBox { color: #123; }", RGB(0xee, 0xf3, 0xf9),
       RGB(0x11, 0x22, 0x33)},
      {"/* #Form1 { background-color: #000000 } */ QPushButton { color: #ffffff }", std::nullopt, std::nullopt},
      {"#Form1, QDialog { background: #0a0B0c; color: #010203 }", RGB(10, 11, 12), RGB(1, 2, 3)},
      {"QWidget#Form1 { background-color: red; }", std::nullopt, std::nullopt},
      {"QWidget#Form1 { background-color: #12345", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const SkinColours colours = ParseSkinColours(c.sheet);
    EXPECT_EQ(colours.background, c.background) << c.sheet;
    EXPECT_EQ(colours.text, c.text) << c.sheet;
  }
}

TEST(Win32DialogsTest, ResultsAndTexts) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Win32Dialogs::SplitOpenResult(std::wstring(L"C:\\Mail\\a.msg\0\0", 15)), V{"C:\\Mail\\a.msg"});
  EXPECT_EQ(Win32Dialogs::SplitOpenResult(std::wstring(L"C:\\Mail\0a.msg\0b.msg\0\0", 21)),
            (V{"C:\\Mail\\a.msg", "C:\\Mail\\b.msg"}));
  EXPECT_EQ(Win32Dialogs::SplitOpenResult(std::wstring(L"C:\\\0a.msg\0b.msg\0\0", 17)),
            (V{"C:\\a.msg", "C:\\b.msg"}));
  EXPECT_EQ(Win32Dialogs::SplitOpenResult(std::wstring(L"\0", 1)), V{});
  EXPECT_EQ(Win32Dialogs::FilterPairs("MSG Files (*.msg)"), std::wstring(L"MSG Files (*.msg)\0*.msg\0\0", 25));
  EXPECT_EQ(Win32Dialogs::BoxText("a\r\rb\r\nc\nd"), L"a\r\n\r\nb\r\nc\r\nd");
}

TEST(InputBoxTest, ReturnsTheTypedAnswerOrNothing) {
  for (const bool ok : {true, false}) {
    // Answers the box from another thread once it is up, as a user would.
    std::thread user([ok] {
      HWND box = nullptr;
      for (int i = 0; i < 100 && !box; ++i) {
        Sleep(50);
        box = FindWindowW(L"#32770", L"Extension");
      }
      if (!box) return;
      SetDlgItemTextW(box, kInputBoxEdit, L"txt");
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED), 0);
    });
    const std::optional<std::wstring> answer = ShowInputBox(nullptr, L"Enter file extension to load:", L"msg",
                                                            L"Extension");
    user.join();
    if (ok) {
      EXPECT_EQ(answer, L"txt");
    } else {
      EXPECT_EQ(answer, std::nullopt);
    }
  }
}

}  // namespace
}  // namespace face_win32
