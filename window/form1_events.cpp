#include "window/form1_events.h"

#include <exception>

namespace window {

template <typename Handler>
void Form1Events::Run(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& failure) {
    // The handlers report their own steps; this is what none of them caught.
    try {
      dialogs_.ShowMessage(failure.what(), {}, platform::MessageIcon::kWarning);
    } catch (const std::exception&) {
    }
  }
}

void Form1Events::PushButtonClick(int number) {
  Run([&] {
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
  });
}

void Form1Events::OptionClick(int number) { Run([&] { form_.OptionClicked(number); }); }
void Form1Events::Text1Change() { Run([&] { form_.Text1_Change(); }); }
void Form1Events::ListKeyDown(int key_code, int shift) { Run([&] { form_.ListView1_KeyDown(key_code, shift); }); }
void Form1Events::ListDblClick() { Run([&] { form_.ListView1_DblClick(); }); }
void Form1Events::ListItemClick() { Run([&] { form_.ListView1_ItemClick(); }); }
void Form1Events::ListMouseDown(int button, int x, int y) { Run([&] { form_.ListView1_MouseDown(button, x, y); }); }
void Form1Events::ListMouseMove(int buttons, int x, int y) { Run([&] { form_.ListView1_MouseMove(buttons, x, y); }); }
void Form1Events::ListMouseUp(int button, int x, int y) { Run([&] { form_.ListView1_MouseUp(button, x, y); }); }

bool Form1Events::ListDragOver(const std::vector<std::string>& paths) {
  bool accepted = false;
  Run([&] { accepted = form_.ListView1_OLEDragOver(paths); });
  return accepted;
}

void Form1Events::ListDragDrop(const std::vector<std::string>& paths) {
  Run([&] { form_.ListView1_OLEDragDrop(paths); });
}

void Form1Events::FormMouseMove() { Run([&] { form_.Form_MouseMove(); }); }
void Form1Events::Frame1MouseMove() { Run([&] { form_.Frame1_MouseMove(); }); }
void Form1Events::Frame4MouseMove() { Run([&] { form_.Frame4_MouseMove(); }); }
void Form1Events::PushButtonMouseMove() { Run([&] { form_.PushButton_MouseMove(); }); }
void Form1Events::Unload() { Run([&] { form_.Form_Unload(); }); }

}  // namespace window
