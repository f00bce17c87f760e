// Form1's handlers behind the faces' events: each event runs its handler, and
// a failure that escapes a handler is shown in a message box instead of
// passing into the toolkit's frames (where it would end the program).
#pragma once

#include "platform/dialogs.h"
#include "window/form1.h"
#include "window/form_events.h"

namespace window {

class Form1Events : public FormEvents {
 public:
  Form1Events(Form1& form, platform::Dialogs& dialogs) : form_(form), dialogs_(dialogs) {}

  void PushButtonClick(int number) override;
  void OptionClick(int number) override;
  void Text1Change() override;
  void ListKeyDown(int key_code, int shift) override;
  void ListDblClick() override;
  void ListItemClick() override;
  void ListMouseDown(int button, int x, int y) override;
  void ListMouseMove(int buttons, int x, int y) override;
  void ListMouseUp(int button, int x, int y) override;
  // A failing handler refuses the drag.
  bool ListDragOver(const std::vector<std::string>& paths) override;
  void ListDragDrop(const std::vector<std::string>& paths) override;
  void FormMouseMove() override;
  void Frame1MouseMove() override;
  void Frame4MouseMove() override;
  void PushButtonMouseMove() override;
  void Unload() override;

 private:
  template <typename Handler>
  void Run(Handler&& handler);

  Form1& form_;
  platform::Dialogs& dialogs_;
};

}  // namespace window
