// ListView1: appending and searching, removal (refused while busy), moving
// rows by dragging, edge scrolling and the pointer rules, against a scripted
// face; and "Start Converting" through the window's controls.
#include "window/file_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/path_helpers.h"
#include "tests/window/scripted_face.h"

using window::Pointer;
using window_testing::Harness;
using Texts = std::vector<std::string>;

namespace {

// Centre of row `index1` in the scripted list (rows are 10 pixels high).
int RowY(int index1) { return (index1 - 1) * 10 + 5; }

TEST(FileList, AppendingTestsNothingAndSearchIsExact) {
  Harness h;
  window::Form1& form = h.Load();
  EXPECT_FALSE(form.IsPathInList("C:\\Mail\\a.msg"));  // empty list
  for (const char* row : {"C:\\Mail\\a.msg", "C:\\Mail\\a.msg", "", "  /m/b.MSG "}) form.AddFileToList(row);
  EXPECT_EQ(h.face.rows, (Texts{"C:\\Mail\\a.msg", "C:\\Mail\\a.msg", "", "  /m/b.MSG "}));
  const std::pair<std::string, bool> cases[] = {
      {"C:\\Mail\\a.msg", true}, {"c:\\mail\\a.msg", false}, {"C:\\Mail\\a.msg ", false},
      {"C:/Mail/a.msg", false},  {"  /m/b.MSG ", true},
  };
  for (const auto& [path, found] : cases) EXPECT_EQ(form.IsPathInList(path), found) << path;
}

TEST(FileList, Removal) {
  struct Case { std::string how; int key; int shift; bool busy; Texts after; };
  const Texts all{"A", "B", "C"};
  const Case cases[] = {
      {"key", window::kKeyDelete, 0, false, {"A", "C"}},
      {"key", window::kKeyDelete, window::kShift, false, {"A", "C"}},
      {"key", window::kKeyDelete, window::kCtrl | window::kAlt, false, {"A", "C"}},
      {"key", 0x08, 0, false, all},  // Backspace
      {"key", 'X', 0, false, all},
      {"key", window::kKeyDelete, 0, true, all},
      {"double-click", 0, 0, false, {"A", "C"}},
      {"double-click", 0, 0, true, all},
      {"clear", 0, 0, false, {}},
      {"clear", 0, 0, true, all},
  };
  for (const Case& c : cases) {
    Harness h;
    window::Form1& form = h.Load();
    for (const std::string& row : all) form.AddFileToList(row);
    h.face.selected = 2;
    if (c.busy) form.SetHourglass();
    if (c.how == "key") {
      form.ListView1_KeyDown(c.key, c.shift);
    } else if (c.how == "double-click") {
      form.ListView1_DblClick();
    } else {
      form.PushButton6_Click();
    }
    EXPECT_EQ(h.face.rows, c.after) << c.how;
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_EQ(form.IsBusy(), c.busy);
  }
  // Nothing selected, or nothing listed: nothing happens.
  Harness h;
  window::Form1& form = h.Load();
  form.ListView1_KeyDown(window::kKeyDelete);
  form.ListView1_DblClick();
  form.PushButton6_Click();
  form.AddFileToList("A");
  form.ListView1_DblClick();
  EXPECT_EQ(h.face.rows, Texts{"A"});
}

TEST(FileList, Dragging) {
  struct Case { Texts rows; int pressed; std::vector<int> path; Texts after; int selected; };
  const Case cases[] = {
      {{"A", "B", "C"}, 3, {3, 2, 1}, {"C", "A", "B"}, 1},
      {{"A", "B", "C", "D"}, 1, {4}, {"D", "B", "C", "A"}, 4},
      {{"A", "B", "C", "D"}, 1, {2, 3, 4}, {"B", "C", "D", "A"}, 4},
      {{"A", "B", "C"}, 1, {2, 1}, {"A", "B", "C"}, 1},
      {{"A", "A", "B"}, 1, {2}, {"A", "A", "B"}, 1},        // equal texts never exchange
      {{"A", "A", "B"}, 1, {2, 3}, {"B", "A", "A"}, 3},     // the next one does
  };
  for (const Case& c : cases) {
    Harness h;
    testing_support::WriteFile(h.dir.path / "bin" / "drag.ico", "ICO drag pointer");
    window::Form1& form = h.Load();
    for (const std::string& row : c.rows) form.AddFileToList(row);
    // As a face delivers a press: the row is selected, then the click, then the press.
    h.face.selected = c.pressed;
    form.ListView1_ItemClick();
    form.ListView1_MouseDown(window::kLeftButton, 5, RowY(c.pressed));
    EXPECT_EQ(h.face.list_pointer, "drag");
    for (const int row : c.path) form.ListView1_MouseMove(window::kLeftButton, 5, RowY(row));
    form.ListView1_MouseUp(window::kLeftButton, 5, RowY(c.path.back()));
    EXPECT_EQ(h.face.rows, c.after);
    EXPECT_EQ(h.face.selected, c.selected);
    EXPECT_EQ(h.face.list_pointer, "arrow");
    // Moves after the release move nothing.
    form.ListView1_MouseMove(0, 5, RowY(1));
    EXPECT_EQ(h.face.rows, c.after);
  }
}

TEST(FileList, RemovedDragRowCountsAsNoneAndMovingIsNotRefusedWhileBusy) {
  Harness h;
  window::Form1& form = h.Load();
  for (const char* row : {"A", "B", "C"}) form.AddFileToList(row);
  h.face.selected = 1;
  form.ListView1_ItemClick();  // no drag.ico: the list keeps its pointer
  EXPECT_EQ(h.face.list_pointer, "");
  form.ListView1_KeyDown(window::kKeyDelete);  // removes A, the remembered row
  form.ListView1_MouseDown(window::kLeftButton, 1, 1);
  form.ListView1_MouseMove(window::kLeftButton, 5, RowY(2));
  EXPECT_EQ(h.face.rows, (Texts{"B", "C"}));
  // A row above the remembered one goes: the remembered row follows its row.
  h.face.selected = 2;
  form.ListView1_ItemClick();
  form.AddFileToList("D");
  h.face.selected = 1;
  form.ListView1_KeyDown(window::kKeyDelete);
  form.SetHourglass();
  form.ListView1_MouseMove(window::kLeftButton, 5, RowY(2));
  EXPECT_EQ(h.face.rows, (Texts{"D", "C"}));
  EXPECT_TRUE(form.IsBusy());
  // The hourglass shows over the list too, and wins over the drag pointer.
  EXPECT_EQ(h.face.list_pointer, "hourglass");
  testing_support::WriteFile(h.dir.path / "bin" / "drag.ico", "ICO drag pointer");
  form.ListView1_ItemClick();
  EXPECT_EQ(h.face.list_pointer, "hourglass");
  form.SetDefaultPointer();
  EXPECT_EQ(h.face.list_pointer, "drag");
}

TEST(FileList, EdgeScrolling) {
  // Above 305 the row before the hovered one comes into view, below 364 the row after it.
  const std::tuple<int, bool, std::vector<int>> cases[] = {
      {365, true, {4}}, {364, true, {}}, {330, true, {}}, {304, false, {2}}, {305, false, {}},
  };
  for (const auto& [screen_y, downwards, scrolled] : cases) {
    Harness h;
    window::Form1& form = h.Load();
    for (const char* row : {"1", "2", "3", "4", "5"}) form.AddFileToList(row);
    h.face.screen_y = screen_y;
    h.face.selected = downwards ? 2 : 4;
    form.ListView1_ItemClick();
    form.ListView1_MouseDown(window::kLeftButton, 5, RowY(h.face.selected));
    form.ListView1_MouseMove(window::kLeftButton, 5, RowY(3));
    EXPECT_EQ(h.face.scrolled_to, scrolled) << screen_y;
  }
}

TEST(FileList, PointerRules) {
  for (const bool hand_file : {true, false}) {
    Harness h;
    if (hand_file) testing_support::WriteFile(h.dir.path / "bin" / "HAND-M.CUR", "CUR hand");
    window::Form1& form = h.Load();
    form.PushButton_MouseMove();
    EXPECT_EQ(h.face.pointer, hand_file ? Pointer::kHand : Pointer::kDefault);
    // The background, the frames and the list restore the default pointer.
    for (const auto& move : std::vector<std::function<void()>>{
             [&] { form.Form_MouseMove(); }, [&] { form.Frame1_MouseMove(); },
             [&] { form.Frame4_MouseMove(); }, [&] { form.ListView1_MouseMove(0, 1, 1); }}) {
      form.PushButton_MouseMove();
      move();
      EXPECT_EQ(h.face.pointer, Pointer::kDefault);
    }
    // While busy the hourglass stays wherever the pointer goes.
    form.SetHourglass();
    form.PushButton_MouseMove();
    form.Form_MouseMove();
    form.Frame1_MouseMove();
    form.ListView1_MouseMove(0, 1, 1);
    EXPECT_EQ(h.face.pointer, Pointer::kHourglass);
    form.SetDefaultPointer();
    EXPECT_FALSE(form.IsBusy());
  }
}

#ifndef _WIN32
// "Start Converting" reads the list, Text1 and the options through the face,
// and leaves the bar as it found it.
TEST(Form1Convert, StartConvertingRunsTheList) {
  Harness h;
  window::Form1& form = h.Load();
  const std::string tools = h.dir.File("tools");
  std::filesystem::create_directories(tools);
  std::filesystem::permissions(tools, std::filesystem::perms::owner_all);
  form.conversion_tool_folder = tools;
  form.conversion_cycle_ms = 2;
  const std::string script = "#!/bin/sh\n[ -f \"$1\" ] || exit 0\ncp \"$1\" \"$2gen-$$.eml\"\n";
  form.conversion_tool_image = [&] {
    std::vector<std::byte> bytes(script.size());
    std::memcpy(bytes.data(), script.data(), script.size());
    return bytes;
  };
  const std::string out = h.dir.File("out") + "/";
  std::filesystem::create_directories(out);
  testing_support::WriteFile(h.dir.path / "a.msg", "A");
  form.AddFileToList(h.dir.File("a.msg"));
  form.AddFileToList(h.dir.File("missing.msg"));
  h.face.Type(out);
  bool busy_during_run = false;
  h.pump.actions[3] = [&] {
    busy_during_run = form.IsBusy() && form.ConversionBusy;
    form.PushButton2_Click();  // a second click during the run does nothing
    h.face.ClickOption(2);     // counts from the next item on
  };
  form.PushButton2_Click();
  EXPECT_TRUE(busy_during_run);
  EXPECT_EQ(testing_support::ReadFile(out + "a.eml"), "A");
  EXPECT_EQ(h.dialogs.messages.size(), 2u);
  EXPECT_EQ(h.dialogs.messages[0].text, "Failed to convert: " + h.dir.File("missing.msg"));
  EXPECT_EQ(h.dialogs.messages[1].text, "Done.");
  EXPECT_EQ(h.face.progress_text, "Progress Bar");
  EXPECT_EQ(h.face.progress_value, 0);
  EXPECT_FALSE(form.IsBusy());
  EXPECT_FALSE(form.ConversionBusy);
}
#endif

}  // namespace
