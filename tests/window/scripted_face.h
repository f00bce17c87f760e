// A face without a toolkit: the controls as plain values, recording what the
// handlers did to them, and a settings store in memory. With ScriptedDialogs
// and ScriptedPump it drives window::Form1 in tests on every system.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error_report.h"
#include "platform/settings.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_dir.h"
#include "window/face.h"
#include "window/form1.h"

namespace window_testing {

class ScriptedFace : public window::Face {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void ApplySkin(const std::string& style_sheet) override { skin = style_sheet; }
  std::string DesktopLocation() override { return desktop; }
  std::string HomeLocation() override { return home; }
  void LoadHandPointer(const std::string& file) override {
    if (testing_support::ReadFile(testing_support::U8Path(file)).rfind("CUR", 0) != 0) {
      throw platform::Failure("Invalid picture");
    }
  }
  void SetFormPointer(window::Pointer p) override {
    pointer = p;
    if (p == window::Pointer::kHourglass) ++hourglass_calls;
  }
  window::Pointer FormPointer() const override { return pointer; }
  void LoadDragPointer(const std::string& file) override {
    if (testing_support::ReadFile(testing_support::U8Path(file)).rfind("ICO", 0) != 0) {
      throw platform::Failure("Invalid picture");
    }
  }
  void SetListPointer(window::Pointer p) override {
    list_pointer = p == window::Pointer::kDrag ? "drag" : p == window::Pointer::kHourglass ? "hourglass" : "arrow";
  }
  int ScreenPointerY() const override { return screen_y; }
  void SetListHeader(const std::string& text) override { header = text; }
  void SetListColumnWidth(int twips) override { column_twips = twips; }
  int ItemCount() const override { return static_cast<int>(rows.size()); }
  std::string ItemText(int index1) const override {
    if (on_item_text) on_item_text(index1);
    return index1 >= 1 && index1 <= ItemCount() ? rows[static_cast<size_t>(index1 - 1)] : std::string();
  }
  void SetItemText(int index1, const std::string& text) override { rows.at(static_cast<size_t>(index1 - 1)) = text; }
  void AddItem(const std::string& text) override { rows.push_back(text); }
  void RemoveItem(int index1) override {
    rows.erase(rows.begin() + (index1 - 1));
    if (selected == index1) selected = 0;
    if (selected > index1) --selected;
  }
  void ClearItems() override {
    rows.clear();
    selected = 0;
  }
  int SelectedItem() const override {
    if (fail_selection) throw platform::Failure("Out of memory");
    return selected;
  }
  void SetCurrentItem(int index1) override { selected = index1; }
  void ScrollToItem(int index1) override { scrolled_to.push_back(index1); }
  // Rows are 10 pixels high, from y = 0.
  int ItemAt(int, int y) const override {
    const int row = y / 10 + 1;
    return y >= 0 && row <= ItemCount() ? row : 0;
  }
  std::string Text1Value() const override { return text1; }
  void SetText1(const std::string& text) override {
    if (text == text1) return;
    text1 = text;
    ++text1_changes;
    if (form != nullptr) form->Text1_Change();
  }
  bool Option1Value() const override { return option1; }
  void SetOption1Value(bool value) override { option1 = value; }
  bool Option2Value() const override { return option2; }
  void SetOption2Value(bool value) override { option2 = value; }
  void SetFrame4Enabled(bool enabled) override { frame4_enabled = enabled; }
  std::string ProgressText() const override { return progress_text; }
  void SetProgressText(const std::string& text) override { progress_text = text; }
  double ProgressValue() const override { return progress_value; }
  void SetProgressValue(double value) override {
    progress_value = value;
    progress_values.push_back(value);
  }

  // The user clicking an option button: the toolkit flips the button, as a
  // check box would, and the face reports the click.
  void ClickOption(int which) {
    bool& clicked = which == 1 ? option1 : option2;
    clicked = !clicked;
    form->OptionClicked(which);
  }
  // The user typing into Text1.
  void Type(const std::string& text) { SetText1(text); }

  window::Form1* form = nullptr;
  std::string caption, skin, header, text1, list_pointer, desktop, home;
  std::string progress_text = "Progress Bar";
  double progress_value = 0;
  std::vector<double> progress_values;
  int hourglass_calls = 0;
  // Runs at every ItemText call, before it answers (the user acting mid-run).
  std::function<void(int)> on_item_text;
  int column_twips = 0;
  int text1_changes = 0;
  int screen_y = 330;  // between the two edge-scroll thresholds
  int selected = 0;
  bool fail_selection = false;
  bool option1 = true;  // as the form is designed
  bool option2 = false;
  bool frame4_enabled = true;
  window::Pointer pointer = window::Pointer::kDefault;
  std::vector<std::string> rows;
  std::vector<int> scrolled_to;
};

class MemorySettings : public platform::SettingsStore {
 public:
  std::string GetSetting(const std::string& key, const std::string& default_value) override {
    const auto it = values.find(key);
    return it == values.end() ? default_value : it->second;
  }
  void SaveSetting(const std::string& key, const std::string& value) override {
    if (fail_writes) throw platform::Failure("Permission denied");
    values[key] = value;
  }
  std::optional<std::string> Stored(const std::string& key) const {
    const auto it = values.find(key);
    return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  std::map<std::string, std::string> values;
  bool fail_writes = false;
};

// A window with scripted seams and its program folder in a temporary folder.
struct Harness {
  Harness() {
    std::filesystem::create_directories(dir.path / "bin");
    face.desktop = dir.File("Desktop");
    face.home = dir.File("home");
    std::filesystem::create_directories(dir.path / "Desktop");
    std::filesystem::create_directories(dir.path / "home");
  }
  std::string AppFolder() const { return dir.File("bin"); }
  window::Form1& Make() {
    form = std::make_unique<window::Form1>(face, window::FormServices{.dialogs = dialogs,
                                                            .pump = pump,
                                                            .random = random,
                                                            .settings = settings,
                                                            .app_folder = AppFolder(),
                                                            .end_program = [this] { ++end_program_calls; }});
    face.form = form.get();
    return *form;
  }
  window::Form1& Load() {
    Make().Form_Load();
    return *form;
  }
  // Texts of the error reports shown so far.
  std::vector<std::string> Reports() const {
    std::vector<std::string> texts;
    for (const auto& m : dialogs.messages) {
      if (m.title == "Application Error") texts.push_back(m.text);
    }
    return texts;
  }

  testing_support::TempDir dir;
  ScriptedFace face;
  testing_support::ScriptedDialogs dialogs;
  testing_support::ScriptedPump pump;
  testing_support::FixedRandom random{50};
  MemorySettings settings;
  std::unique_ptr<window::Form1> form;
  int end_program_calls = 0;
};

inline std::string StartUpReport(const std::string& description, int step) {
  return platform::ErrorReportText(description, "in Quorvex2021/08/31.Form1.Form_Load ", step);
}

}  // namespace window_testing
