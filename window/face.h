// The window as its handlers see it: the controls of Form1 under their form
// names, implemented by a toolkit (face_qt/ on Linux, face_win32/ on Windows).
//
// A face builds the controls, forwards their events to window::Form1's handlers
// and answers the calls below. It decides nothing itself: what a click, a key, a
// drop or a pointer move does is Form1's. Text is UTF-8; rows are counted from 1.
//
// Events a face forwards, and how (window/form1.h has the handlers):
//   - an option button clicked: the clicked one is selected and the other
//     cleared first, then Option1_Click / Option2_Click;
//   - Text1's text changed, by the user or by SetText1 with a different text:
//     Text1_Change;
//   - a key on the list: ListView1_KeyDown with the Windows virtual-key code
//     (kKeyDelete for Delete) and the Shift/Ctrl/Alt state (kShift | ...);
//   - list mouse events: positions in the list's row area, in pixels;
//   - files dragged over or dropped on the list: their local paths, in order;
//     the face accepts the drag while ListView1_OLEDragOver says so;
//   - the window closed: Form_Unload, which does not return in the program.
#pragma once

#include <string>

namespace window {

// The window's own pointer.
enum class Pointer {
  kDefault,    // the toolkit's arrow
  kHourglass,  // busy: removing rows is refused while it shows
  kHand,       // the hand that LoadHandPointer loaded
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

class Face {
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
  virtual void SetFormPointer(Pointer pointer) = 0;
  virtual Pointer FormPointer() const = 0;
  // The list's pointer: read from a .cur or .ico file (throws
  // platform::Failure("Invalid picture") and keeps the pointer it has), or the
  // arrow.
  virtual void SetListPointerFromFile(const std::string& file) = 0;
  virtual void SetListArrowPointer() = 0;
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
  // The value is kept as set (it may exceed 100); the bar draws it capped.
  virtual std::string ProgressText() const = 0;
  virtual void SetProgressText(const std::string& text) = 0;
  virtual double ProgressValue() const = 0;
  virtual void SetProgressValue(double value) = 0;
};

}  // namespace window
