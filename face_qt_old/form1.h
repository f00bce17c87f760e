// Form1: the one window of Mailvane.
//
// The window takes everything modal, the message loop, the random draw, the
// settings and the screen pointer position as seams (Form1Deps), so every
// handler can be driven from tests. Controls and handlers keep their historic
// names; handlers are connected explicitly in the constructor.
//
// Busy state: the window is busy while its own pointer is the hourglass
// (SetHourglass ... SetDefaultPointer around long work). Removing rows is
// refused then; moving rows by dragging is not.
#pragma once

#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/file_list_view.h"
#include "app/progress_bar.h"
#include "app/screen_cursor.h"
#include "app/settings_store.h"
#include "conversion/tool_runner.h"
#include "platform/dialogs.h"

class QMimeData;

struct Form1Deps {
  platform::Dialogs& dialogs;
  platform::EventPump& pump;
  platform::RandomSource& random;
  SettingsStore& settings;
  // The folder that holds the program file, without a trailing separator.
  QString app_folder;
  ScreenCursor& screen_cursor;
  // Runs when the window is closed, after a converter the run waits for has
  // been ended: ends the program at once. Empty means the real thing (exit the
  // process without running anything further); tests pass their own.
  std::function<void()> end_program = {};
};

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(Form1Deps deps, QWidget* parent = nullptr);
  ~Form1() override;

  // The product name: window caption and source of the application title.
  static constexpr char kProductName[] = "Mailvane";
  // The maker's home page, opened on one start in a hundred.
  static constexpr char kHomePage[] = "https://www.velmora.example/";
  // The maker's contact page, named by the help message.
  static constexpr char kContactPage[] = "https://www.velmora.example/contact";

  // The application title for a product name: the name loses its last word,
  // and further words while it is longer than 40 characters. A name without
  // any blank is used whole (cut to 40 characters).
  static QString AppTitleFor(const QString& product_name);

  // --- controls, under their historic names ---
  QPushButton* PushButton3 = nullptr;  // "Help"
  FileListView* ListView1 = nullptr;
  QPushButton* PushButton1 = nullptr;  // "Add MSG File(s)"
  QPushButton* PushButton4 = nullptr;  // "Add All MSG File(s) In Folder"
  QPushButton* PushButton6 = nullptr;  // "Clear List"
  QPushButton* PushButton7 = nullptr;  // "Load Sample/Example Files"
  QGroupBox* Frame1 = nullptr;         // "Save Option"
  QRadioButton* Option1 = nullptr;     // "Save results to this folder:"
  QGroupBox* Frame4 = nullptr;         // no caption; holds Text1 and PushButton9
  QLineEdit* Text1 = nullptr;          // the output folder
  QPushButton* PushButton9 = nullptr;  // "..."
  QRadioButton* Option2 = nullptr;     // "Save results in folder of original file"
  QPushButton* PushButton2 = nullptr;  // "Start Converting"
  ProgressBar* ProgressBar1 = nullptr;

  // --- the file list ---
  // Appends one row holding `path`, unchanged and untested.
  void AddFileToList(const QString& path);
  // True when some row's text equals `path` exactly (case and blanks count).
  bool IsPathInList(const QString& path) const;
  int ItemCount() const;
  // Text of row `index1`, counted from 1; empty text outside 1..ItemCount().
  QString ItemText(int index1) const;

  // --- pointer and busy state ---
  bool IsBusy() const;
  void SetHourglass();
  void SetDefaultPointer();
  // The hand pointer that start-up loaded from HAND-M.CUR, if any.
  const std::optional<QCursor>& HandPointer() const { return hand_pointer_; }

  // --- the outside world ---
  QString AppFolder() const { return app_folder_; }
  SettingsStore& Settings() { return settings_; }
  platform::Dialogs& Dialogs() { return dialogs_; }
  platform::EventPump& Pump() { return pump_; }

  // Selects or clears an option button as start-up does: selecting a button
  // that was not selected clears the other one and runs its click handler;
  // clearing runs nothing.
  void SetOptionValue(QRadioButton* option, bool selected);

  // The desktop folder with a trailing separator, or the home folder when the
  // desktop folder does not exist; throws platform::Failure when the platform
  // names no desktop folder at all.
  static QString DesktopFolder();

 public slots:
  void Form_Load();

  void PushButton1_Click();  // Add MSG File(s)           (form1_intake.cpp)
  void PushButton2_Click();  // Start Converting          (form1_convert.cpp)
  void PushButton3_Click();  // Help
  void PushButton4_Click();  // Add All MSG File(s) In Folder (form1_intake.cpp)
  void PushButton6_Click();  // Clear List
  void PushButton7_Click();  // Load Sample/Example Files (form1_intake.cpp)
  void PushButton9_Click();  // "..." beside the output folder

  void Option1_Click();
  void Option2_Click();
  void Text1_Change();

  void ListView1_KeyDown(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void ListView1_DblClick();
  void ListView1_ItemClick(QTreeWidgetItem* item);
  void ListView1_MouseDown(Qt::MouseButton button, const QPoint& pos);
  void ListView1_MouseMove(Qt::MouseButtons buttons, const QPoint& pos);
  void ListView1_MouseUp(Qt::MouseButton button, const QPoint& pos);
  // Drop target (form1_intake.cpp): true accepts the drag.
  bool ListView1_OLEDragOver(const QMimeData* data);
  void ListView1_OLEDragDrop(const QMimeData* data);

  void Form_MouseMove();
  void Frame1_MouseMove();
  void Frame4_MouseMove();
  // Shared by the seven push buttons.
  void PushButton_MouseMove();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The error report's location string of the handler `procedure`.
  static QString Location(const char* procedure);
  void BuildControls();
  void ConnectHandlers();
  void ApplySkin();
  void OpenHomePageAtRandom();
  void SetAppTitle();
  void LoadHandPointer(const QString& path);
  // The selected row, or nullptr.
  QTreeWidgetItem* SelectedItem() const;
  void RemoveSelectedItem();
  // The window pointer for the background (default), unless busy.
  void ApplyBackgroundPointer();

  platform::Dialogs& dialogs_;
  platform::EventPump& pump_;
  platform::RandomSource& random_;
  SettingsStore& settings_;
  QString app_folder_;
  ScreenCursor& screen_cursor_;
  std::function<void()> end_program_;

  std::optional<QCursor> hand_pointer_;

  // Moving a row by dragging it.
  bool drag_active_ = false;
  QPersistentModelIndex drag_item_;

  // --- conversion run (form1_convert.cpp) ---
 public:
  // True from the start to the end of a run; a second "Start Converting" while
  // it is set does nothing.
  bool ConversionBusy = false;
  // For tests and benchmarks: the folder the tool is written to (empty: the
  // user's private folder), the length of one wait cycle in milliseconds, and
  // the tool's image (empty: the carried one).
  QString conversion_tool_folder;
  int conversion_cycle_ms = 100;
  std::function<QByteArray()> conversion_tool_image;

 private:
  // The converter the run is waiting for: closing the window ends it first.
  conversion::RunningTool running_tool_;

  // --- intake (form1_intake.cpp) ---
  // Appends every sample file not yet listed, then offers to open the folder.
  void AddSampleFiles();
  // Adds the files of a dropped folder and of every folder below it.
  void AddDroppedFolder(const QString& folder);
  // The folder last chosen through "Add All MSG File(s) In Folder".
  QString last_folder_;
};
