// What a face reports to the window's logic: the raw events of Form1's
// controls. A face calls these and does nothing else about an event; Form1
// decides what each one does (window/form1_events.h routes them to its
// handlers). Positions are in pixels of the list's row area.
#pragma once

#include <string>
#include <vector>

namespace window {

class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // A push button's click, by its number: 1 for PushButton1 and so on.
  virtual void PushButtonClick(int number) = 0;
  // A click on an option button (1 or 2). The face leaves both options as
  // they were; Form1 selects the clicked one.
  virtual void OptionClick(int number) = 0;
  // Text1's text changed, typed or set by SetText1 with a different text.
  virtual void Text1Change() = 0;
  // Any key pressed on the list: its Windows virtual-key code (0 for a key
  // without one) and the Shift/Ctrl/Alt state (kShift | ...).
  virtual void ListKeyDown(int key_code, int shift) = 0;
  virtual void ListDblClick() = 0;
  // A press on a row, after the list selected it.
  virtual void ListItemClick() = 0;
  virtual void ListMouseDown(int button, int x, int y) = 0;
  virtual void ListMouseMove(int buttons, int x, int y) = 0;
  virtual void ListMouseUp(int button, int x, int y) = 0;
  // Files dragged over or dropped on the list, their local paths in order:
  // the face accepts the drag while ListDragOver says so.
  virtual bool ListDragOver(const std::vector<std::string>& paths) = 0;
  virtual void ListDragDrop(const std::vector<std::string>& paths) = 0;
  // The pointer moved over the window's own surface, over a frame's surface,
  // or over a push button.
  virtual void FormMouseMove() = 0;
  virtual void Frame1MouseMove() = 0;
  virtual void Frame4MouseMove() = 0;
  virtual void PushButtonMouseMove() = 0;
  // The window was closed.
  virtual void Unload() = 0;
};

}  // namespace window
