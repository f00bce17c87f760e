// What the Windows window reports to the window's handlers. Mailvane.exe passes
// window::Form1's handlers (Form1Events); tests record the calls.
#pragma once

#include <string>
#include <vector>

namespace face_win32 {

class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // A push button's click, by its number: 1 for PushButton1 and so on.
  virtual void PushButtonClick(int number) = 0;
  // An option button's click (1 or 2), after the face selected it and cleared the other.
  virtual void OptionClick(int number) = 0;
  virtual void Text1Change() = 0;
  virtual void ListKeyDown(int key_code, int shift) = 0;
  virtual void ListDblClick() = 0;
  virtual void ListItemClick() = 0;
  virtual void ListMouseDown(int button, int x, int y) = 0;
  virtual void ListMouseMove(int buttons, int x, int y) = 0;
  virtual void ListMouseUp(int button, int x, int y) = 0;
  virtual bool ListDragOver(const std::vector<std::string>& paths) = 0;
  virtual void ListDragDrop(const std::vector<std::string>& paths) = 0;
  virtual void FormMouseMove() = 0;
  virtual void Frame1MouseMove() = 0;
  virtual void Frame4MouseMove() = 0;
  virtual void PushButtonMouseMove() = 0;
  // The window was closed.
  virtual void Unload() = 0;
};

}  // namespace face_win32
