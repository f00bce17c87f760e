#include "window/file_list.h"

#include <exception>

#include "window/beside_program.h"

namespace window {

bool FileList::IsPathInList(const std::string& path) const {
  const int count = ItemCount();
  for (int i = 1; i <= count; ++i) {
    if (ItemText(i) == path) return true;
  }
  return false;
}

void FileList::RemoveSelectedItem() {
  if (IsBusy()) return;
  if (ItemCount() == 0) return;
  const int selected = face_.SelectedItem();
  if (selected == 0) return;
  face_.RemoveItem(selected);
  // The dragged row follows its row; a removed row is none.
  if (drag_item_ == selected) {
    drag_item_ = 0;
  } else if (drag_item_ > selected) {
    --drag_item_;
  }
}

void FileList::Clear() {
  if (IsBusy()) return;
  face_.ClearItems();
  drag_item_ = 0;
}

void FileList::KeyDown(int key_code, int) {
  // Delete acts whatever Shift, Ctrl and Alt say; other keys are the list's own.
  if (key_code != kKeyDelete) return;
  RemoveSelectedItem();
}

void FileList::SetHourglass() {
  face_.SetFormPointer(Pointer::kHourglass);
  ShowListPointer();
}

void FileList::SetDefaultPointer() {
  face_.SetFormPointer(Pointer::kDefault);
  ShowListPointer();
}

void FileList::ShowListPointer() {
  face_.SetListPointer(IsBusy() ? Pointer::kHourglass : drag_pointer_ ? Pointer::kDrag : Pointer::kDefault);
}

void FileList::ItemClick() {
  // The drag pointer is read again at every click; a missing or broken file
  // keeps the pointer the list has.
  try {
    face_.LoadDragPointer(BesideProgram(app_folder_, "drag.ico"));
    drag_pointer_ = true;
    ShowListPointer();
  } catch (const std::exception&) {
  }
  // The list never starts a drag of its own, so there is no drag mode to
  // switch here.
  drag_item_ = face_.SelectedItem();
}

void FileList::MouseDown(int, int, int) { drag_active_ = true; }

void FileList::MouseMove(int, int x, int y) {
  if (!drag_active_) return;
  const int hover_item = face_.ItemAt(x, y);
  if (hover_item == 0 || drag_item_ == 0 || drag_item_ > ItemCount()) return;
  const std::string hover_text = ItemText(hover_item);
  const std::string kept = ItemText(drag_item_);
  if (hover_text == kept) return;

  face_.SetItemText(drag_item_, hover_text);
  face_.SetItemText(hover_item, kept);
  face_.SetCurrentItem(hover_item);
  drag_item_ = hover_item;

  // Scroll at the edges, by the pointer's place on the screen.
  const int screen_y = face_.ScreenPointerY();
  if (screen_y < 305 && hover_item >= 2) {
    face_.ScrollToItem(hover_item - 1);
  } else if (screen_y > 364 && hover_item < ItemCount()) {
    face_.ScrollToItem(hover_item + 1);
  }
}

void FileList::MouseUp(int, int, int) {
  drag_active_ = false;
  drag_pointer_ = false;
  ShowListPointer();
}

}  // namespace window
