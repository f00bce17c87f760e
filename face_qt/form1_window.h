// Form1Window: the Qt face of Mailvane's one window.
//
// It builds the controls from the form's table, reports their events to
// window::FormEvents (Form1's handlers), and answers Form1's calls through
// window::Face. It decides nothing itself.
#pragma once

#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "face_qt/file_list_view.h"
#include "face_qt/progress_bar.h"
#include "platform/dialogs.h"
#include "platform/settings.h"
#include "window/face.h"
#include "window/form1.h"
#include "window/form1_events.h"

class QMimeData;

class Form1Window : public QWidget, public window::Face {
  Q_OBJECT

 public:
  explicit Form1Window(window::FormServices services, QWidget* parent = nullptr);
  ~Form1Window() override;

  // The window's behaviour.
  window::Form1& Form() { return *form_; }

  // The local paths a drag carries, in order; empty when it carries none.
  static std::vector<std::string> LocalPaths(const QMimeData* data);
  // A Qt key as a Windows virtual-key code; 0 for a key without one.
  static int VirtualKey(int qt_key);

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

  // The hand pointer that start-up loaded from HAND-M.CUR, if any.
  const std::optional<QCursor>& HandPointer() const { return hand_pointer_; }

  // --- window::Face ---
  void SetCaption(const std::string& caption) override;
  void ApplySkin(const std::string& style_sheet) override;
  std::string DesktopLocation() override;
  std::string HomeLocation() override;
  void LoadHandPointer(const std::string& file) override;
  void SetFormPointer(window::Pointer pointer) override;
  window::Pointer FormPointer() const override;
  void LoadDragPointer(const std::string& file) override;
  void SetListPointer(window::Pointer pointer) override;
  int ScreenPointerY() const override;
  void SetListHeader(const std::string& text) override;
  void SetListColumnWidth(int twips) override;
  int ItemCount() const override;
  std::string ItemText(int index1) const override;
  void SetItemText(int index1, const std::string& text) override;
  void AddItem(const std::string& text) override;
  void RemoveItem(int index1) override;
  void ClearItems() override;
  int SelectedItem() const override;
  void SetCurrentItem(int index1) override;
  void ScrollToItem(int index1) override;
  int ItemAt(int x, int y) const override;
  std::string Text1Value() const override;
  void SetText1(const std::string& text) override;
  bool Option1Value() const override;
  void SetOption1Value(bool selected) override;
  bool Option2Value() const override;
  void SetOption2Value(bool selected) override;
  void SetFrame4Enabled(bool enabled) override;
  std::string ProgressText() const override;
  void SetProgressText(const std::string& text) override;
  double ProgressValue() const override;
  void SetProgressValue(double value) override;

  // For tests: where ScreenPointerY reads the pointer (empty: the real one).
  std::function<int()> screen_pointer_y;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();

  QCursor PointerCursor(window::Pointer pointer) const;

  std::optional<QCursor> hand_pointer_;
  std::optional<QCursor> drag_pointer_;
  window::Pointer pointer_ = window::Pointer::kDefault;
  std::unique_ptr<window::Form1> form_;
  std::unique_ptr<window::Form1Events> events_;
};
