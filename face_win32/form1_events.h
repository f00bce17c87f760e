// The Windows window's events delivered to window::Form1's handlers.
#pragma once

#include "face_win32/form_events.h"
#include "window/form1.h"

namespace face_win32 {

class Form1Events : public FormEvents {
 public:
  explicit Form1Events(window::Form1& form) : form_(form) {}

  void PushButtonClick(int number) override {
    switch (number) {
      case 1: form_.PushButton1_Click(); break;
      case 2: form_.PushButton2_Click(); break;
      case 3: form_.PushButton3_Click(); break;
      case 4: form_.PushButton4_Click(); break;
      case 6: form_.PushButton6_Click(); break;
      case 7: form_.PushButton7_Click(); break;
      case 9: form_.PushButton9_Click(); break;
      default: break;
    }
  }
  void OptionClick(int number) override {
    if (number == 1) form_.Option1_Click();
    if (number == 2) form_.Option2_Click();
  }
  void Text1Change() override { form_.Text1_Change(); }
  void ListKeyDown(int key_code, int shift) override { form_.ListView1_KeyDown(key_code, shift); }
  void ListDblClick() override { form_.ListView1_DblClick(); }
  void ListItemClick() override { form_.ListView1_ItemClick(); }
  void ListMouseDown(int button, int x, int y) override { form_.ListView1_MouseDown(button, x, y); }
  void ListMouseMove(int buttons, int x, int y) override { form_.ListView1_MouseMove(buttons, x, y); }
  void ListMouseUp(int button, int x, int y) override { form_.ListView1_MouseUp(button, x, y); }
  bool ListDragOver(const std::vector<std::string>& paths) override { return form_.ListView1_OLEDragOver(paths); }
  void ListDragDrop(const std::vector<std::string>& paths) override { form_.ListView1_OLEDragDrop(paths); }
  void FormMouseMove() override { form_.Form_MouseMove(); }
  void Frame1MouseMove() override { form_.Frame1_MouseMove(); }
  void Frame4MouseMove() override { form_.Frame4_MouseMove(); }
  void PushButtonMouseMove() override { form_.PushButton_MouseMove(); }
  void Unload() override { form_.Form_Unload(); }

 private:
  window::Form1& form_;
};

}  // namespace face_win32
