// Form1: the handlers of Mailvane's one window, in standard C++.
//
// Form1 owns the window's behaviour; a face (window/face.h) owns the controls.
// Everything modal, the message loop, the random draw and the settings come in
// as seams (FormServices), so every handler can be driven from tests with a
// scripted face. Handlers keep their historic names.
//
// Busy state: the window is busy while its pointer is the hourglass
// (SetHourglass ... SetDefaultPointer around long work). Removing rows is
// refused then; moving rows by dragging is not.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "conversion/tool_runner.h"
#include "platform/dialogs.h"
#include "platform/settings.h"
#include "window/face.h"
#include "window/file_intake.h"
#include "window/file_list.h"
#include "window/form_layout.h"

namespace window {

// What the window needs besides its face.
struct FormServices {
  platform::Dialogs& dialogs;
  platform::EventPump& pump;
  platform::RandomSource& random;
  platform::SettingsStore& settings;
  // The folder that holds the program file, without a trailing separator.
  std::string app_folder;
  // Runs when the window is closed, after a converter the run waits for has
  // been ended: ends the program at once. Empty means the real thing (exit the
  // process without running anything further); tests pass their own.
  std::function<void()> end_program = {};
};

class Form1 {
 public:
  Form1(Face& face, FormServices services);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The product name: window caption and source of the application title.
  static constexpr char kProductName[] = "Mailvane";
  // The maker's home page, opened on one start in a hundred.
  static constexpr char kHomePage[] = "https://www.velmora.example/";
  // The maker's contact page, named by the help message.
  static constexpr char kContactPage[] = "https://www.velmora.example/contact";

  // The application title for a product name: the name loses its last word,
  // and further words while it is longer than 40 characters. A name without
  // any blank is used whole (cut to 40 characters).
  static std::string AppTitleFor(const std::string& product_name);

  // --- handlers ---
  void Form_Load();
  // The window was closed: ends the converter being waited for, then the program.
  void Form_Unload();

  void PushButton1_Click() { intake_.PushButton1_Click(); }  // Add MSG File(s)
  void PushButton2_Click();  // Start Converting (form1_convert.cpp)
  void PushButton3_Click();  // Help
  void PushButton4_Click() { intake_.PushButton4_Click(); }  // Add All MSG File(s) In Folder
  void PushButton6_Click();  // Clear List
  void PushButton7_Click() { intake_.PushButton7_Click(); }  // Load Sample/Example Files
  void PushButton9_Click();  // "..." beside the output folder

  void Option1_Click();
  void Option2_Click();
  // A click on option button `which` (1 or 2): it becomes the selected one and
  // the other is cleared, also when it was selected already, then its click
  // handler runs.
  void OptionClicked(int which);
  void Text1_Change();

  void ListView1_KeyDown(int key_code, int shift = 0) { list_.KeyDown(key_code, shift); }
  void ListView1_DblClick() { list_.DblClick(); }
  // A press on a row, after the row was selected.
  void ListView1_ItemClick() { list_.ItemClick(); }
  void ListView1_MouseDown(int button, int x, int y) { list_.MouseDown(button, x, y); }
  void ListView1_MouseMove(int buttons, int x, int y);
  void ListView1_MouseUp(int button, int x, int y) { list_.MouseUp(button, x, y); }
  // Drop target: true accepts the drag of these local paths.
  bool ListView1_OLEDragOver(const std::vector<std::string>& paths) { return intake_.OLEDragOver(paths); }
  void ListView1_OLEDragDrop(const std::vector<std::string>& paths) { intake_.OLEDragDrop(paths); }

  void Form_MouseMove();
  void Frame1_MouseMove();
  void Frame4_MouseMove();
  // Shared by the seven push buttons.
  void PushButton_MouseMove();

  // --- the file list ---
  FileList& List() { return list_; }
  void AddFileToList(const std::string& path) { list_.AddFileToList(path); }
  bool IsPathInList(const std::string& path) const { return list_.IsPathInList(path); }

  // --- pointer and busy state ---
  bool IsBusy() const { return list_.IsBusy(); }
  void SetHourglass() { list_.SetHourglass(); }
  void SetDefaultPointer() { list_.SetDefaultPointer(); }
  bool HasHandPointer() const { return has_hand_pointer_; }

  // Selects or clears an option button as start-up does: selecting a button
  // that was not selected clears the other one and runs its click handler;
  // clearing runs nothing. `which` is 1 or 2.
  void SetOptionValue(int which, bool selected);

  // The output folder a first start offers, with a trailing separator: the
  // desktop folder, or the home folder when the system names no desktop or
  // names one that does not exist (the desktop as named when there is no home
  // either; empty text when the system names neither). Never fails.
  std::string DesktopFolder() const;

  // --- conversion run ---
  // True from the start to the end of a run; a second "Start Converting" while
  // it is set does nothing.
  bool ConversionBusy = false;
  // For tests and benchmarks: the folder the tool is written to (empty: the
  // user's private folder), the length of one wait cycle in milliseconds, the
  // tool's image (empty: the carried one), and the runner (null: a process per
  // item, waited for in cycles).
  std::string conversion_tool_folder;
  int conversion_cycle_ms = 100;
  std::function<std::vector<std::byte>()> conversion_tool_image;
  conversion::ToolRunner* conversion_runner = nullptr;

 private:
  // The error report's location string of the handler `procedure`.
  static std::string Location(const char* procedure);
  void ApplySkin();
  void OpenHomePageAtRandom();
  // The window pointer for the background (default), unless busy.
  void ApplyBackgroundPointer();

  Face& face_;
  platform::Dialogs& dialogs_;
  platform::EventPump& pump_;
  platform::RandomSource& random_;
  platform::SettingsStore& settings_;
  std::string app_folder_;
  std::function<void()> end_program_;

  bool has_hand_pointer_ = false;
  FileList list_;
  FileIntake intake_;
  // The converter the run is waiting for: closing the window ends it first.
  conversion::RunningTool running_tool_;
};

}  // namespace window
