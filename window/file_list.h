// ListView1's behaviour: the list of source files, appending, searching,
// removing and clearing rows, moving a row by dragging it, and the busy state
// that refuses removal (the window's hourglass).
#pragma once

#include <string>

#include "window/face.h"

namespace window {

class FileList {
 public:
  FileList(Face& face, std::string app_folder) : face_(face), app_folder_(std::move(app_folder)) {}

  // Appends one row holding `path`, unchanged and untested.
  void AddFileToList(const std::string& path) { face_.AddItem(path); }
  // True when some row's text equals `path` exactly (case and blanks count).
  bool IsPathInList(const std::string& path) const;
  int ItemCount() const { return face_.ItemCount(); }
  // Text of row `index1`, counted from 1; empty text outside 1..ItemCount().
  std::string ItemText(int index1) const { return face_.ItemText(index1); }

  // --- busy state: the window's hourglass ---
  bool IsBusy() const { return face_.FormPointer() == Pointer::kHourglass; }
  // The hourglass shows over the whole window, the list included, and wins
  // over the drag pointer; the list's own pointer comes back after it.
  void SetHourglass();
  void SetDefaultPointer();

  // Removes the selected row, unless busy. Clear empties the list, unless busy.
  void RemoveSelectedItem();
  void Clear();

  // --- the list's own events ---
  void KeyDown(int key_code, int shift);
  void DblClick() { RemoveSelectedItem(); }
  void ItemClick();
  void MouseDown(int button, int x, int y);
  // Returns after moving the dragged row onto the row under the pointer.
  void MouseMove(int buttons, int x, int y);
  void MouseUp(int button, int x, int y);

 private:
  Face& face_;
  std::string app_folder_;
  // Moving a row by dragging it: the row being moved (0: none), kept in step
  // when rows above it are removed.
  bool drag_active_ = false;
  int drag_item_ = 0;
  // The drag pointer is the list's from a press on a row to the release.
  bool drag_pointer_ = false;

  void ShowListPointer();
};

}  // namespace window
