// Everything modal that the window shows, the message loop and the random draw,
// each behind an interface, so handlers can be driven from tests. Each face of
// the window implements them with its toolkit's real boxes, loop and generator;
// ScriptedDialogs, ScriptedPump and FixedRandom (tests/support) record what was
// shown and answer from queues.
//
// Text is UTF-8 throughout; paths are in the system's own form.
#pragma once

#include <string>
#include <vector>

// <windows.h> defines an empty Yield() macro (a 16-bit leftover), which would
// swallow EventPump::Yield: on Windows include <windows.h> before this header.
#ifdef Yield
#undef Yield
#endif

namespace platform {

enum class MessageIcon { kNone, kWarning };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The title every box and prompt shows when it is given none.
  void SetAppTitle(const std::string& title) { app_title_ = title; }
  const std::string& AppTitle() const { return app_title_; }

  // Modal box with one OK button. An empty title means the application title.
  virtual void ShowMessage(const std::string& text, const std::string& title = {},
                           MessageIcon icon = MessageIcon::kNone) = 0;
  // Modal box with Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& title = {}) = 0;
  // Input box with a preset answer; returns empty text on Cancel.
  virtual std::string InputBox(const std::string& prompt, const std::string& preset,
                               const std::string& title = {}) = 0;
  // Folder chooser: only folders, start folder preselected. Returns the full path
  // without a trailing separator (except a root), or empty text on cancel.
  virtual std::string PickFolder(const std::string& title, const std::string& start_folder) = 0;
  // File-open dialog, several files allowed. `filter` is "Name (*.ext)". Returns
  // the chosen full paths in the dialog's order; empty on cancel.
  virtual std::vector<std::string> PickOpenFiles(const std::string& title,
                                                 const std::string& filter) = 0;
  // Opens a folder in the desktop's file browser / an address in the browser.
  virtual void OpenFolder(const std::string& path) = 0;
  virtual void OpenUrl(const std::string& url) = 0;

 protected:
  // A box's title: its own, or the application title when it has none.
  const std::string& TitleOr(const std::string& title) const { return title.empty() ? app_title_ : title; }

 private:
  std::string app_title_;
};

// "Yield to the message loop" in long work.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void Yield() = 0;
};

// The random draw of the start-up (a whole number from 1 to 100).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int Draw1To100() = 0;
};

}  // namespace platform
