// The window as its handlers see it: the controls of Form1 under their form
// names, implemented by a toolkit (face_qt/ on Linux, face_win32/ on Windows).
//
// A face builds the controls from the form's table (window/form_layout.h),
// reports their raw events to window::FormEvents (window/form_events.h) and
// answers the calls below. It decides nothing itself: what a click, a key, a
// drop or a pointer move does, and which pointer shows, is Form1's. Text is
// UTF-8; rows are counted from 1.
#pragma once

#include <string>

#include "conversion/tool_runner.h"

namespace window {

// The window's own pointer.
enum class Pointer {
  kDefault,    // the toolkit's arrow
  kHourglass,  // busy: removing rows is refused while it shows
  kHand,       // the hand that LoadHandPointer loaded (the arrow without one)
  kDrag,       // the list's pointer while a row is moved (LoadDragPointer)
};

// Key codes and shift bits the list's key event carries (Windows' values).
inline constexpr int kKeyDelete = 0x2E;
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;

// Mouse buttons of the list's mouse events.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

// ProgressBar1 is the bar the converter's wait counts on (SetProgressText,
// SetProgressValue), so the face is handed to it as it is.
class Face : public conversion::ProgressSink {
 public:
  virtual ~Face() = default;

  // --- the window itself ---
  // The caption (and the window's icon, which the face carries).
  virtual void SetCaption(const std::string& caption) = 0;
  // A skin file's text, applied to the whole window. A face without skins
  // ignores it. Throws platform::Failure when the text cannot be applied.
  virtual void ApplySkin(const std::string& style_sheet) = 0;
  // The system's desktop folder as the system names it (it may not exist), or
  // empty text when it names none; the user's home folder.
  virtual std::string DesktopLocation() = 0;
  virtual std::string HomeLocation() = 0;

  // --- pointers ---
  // Reads a .cur file as the hand pointer for kHand. Throws
  // platform::Failure("Invalid picture") when the file holds no pointer.
  virtual void LoadHandPointer(const std::string& file) = 0;
  // The pointer over the window and its controls except the list; Text1
  // keeps its text pointer unless this is the hourglass.
  virtual void SetFormPointer(Pointer pointer) = 0;
  virtual Pointer FormPointer() const = 0;
  // Reads a .cur or .ico file as the pointer for kDrag. Throws
  // platform::Failure("Invalid picture") and keeps the one it has when the file
  // holds none.
  virtual void LoadDragPointer(const std::string& file) = 0;
  // The pointer over the list (kDefault: the list's arrow).
  virtual void SetListPointer(Pointer pointer) = 0;
  // Where the mouse pointer is on the screen, vertically, in screen pixels.
  virtual int ScreenPointerY() const = 0;

  // --- ListView1: one column, one row per source path ---
  virtual void SetListHeader(const std::string& text) = 0;
  virtual void SetListColumnWidth(int twips) = 0;
  virtual int ItemCount() const = 0;
  // Text of row `index1`; empty text outside 1..ItemCount().
  virtual std::string ItemText(int index1) const = 0;
  virtual void SetItemText(int index1, const std::string& text) = 0;
  // Appends one row.
  virtual void AddItem(const std::string& text) = 0;
  virtual void RemoveItem(int index1) = 0;
  virtual void ClearItems() = 0;
  // The selected row, or 0.
  virtual int SelectedItem() const = 0;
  // Makes the row the selected and current one.
  virtual void SetCurrentItem(int index1) = 0;
  virtual void ScrollToItem(int index1) = 0;
  // The row under a point of the list's row area, or 0.
  virtual int ItemAt(int x, int y) const = 0;

  // --- Frame1: Option1, Option2, and Frame4 with Text1 and PushButton9 ---
  virtual std::string Text1Value() const = 0;
  // Sets the box's text; a different text fires Text1_Change.
  virtual void SetText1(const std::string& text) = 0;
  // Option states, set without firing their click handlers.
  virtual bool Option1Value() const = 0;
  virtual void SetOption1Value(bool selected) = 0;
  virtual bool Option2Value() const = 0;
  virtual void SetOption2Value(bool selected) = 0;
  virtual void SetFrame4Enabled(bool enabled) = 0;

  // --- ProgressBar1: a line of text over a bar of 0 to 100 ---
  // Set through conversion::ProgressSink. The value is kept as set (it may
  // exceed 100); the bar draws it capped.
  virtual std::string ProgressText() const = 0;
  virtual double ProgressValue() const = 0;
};

}  // namespace window
