// The window's modal boxes, message loop and random draw on Windows: message
// boxes, an input box, the shell's file-open and folder dialogs, and the shell
// to open a folder or an address.
#pragma once

#include <windows.h>
// windows.h defines Yield() as an old no-op; the event pump's member has that name.
#undef Yield

#include <random>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace face_win32 {

// The longest file-open result taken, in UTF-16 units; a longer selection is
// a failure of the dialog (the window turns long selections away well before).
inline constexpr DWORD kOpenResultChars = 1u << 20;

class Win32Dialogs : public platform::Dialogs {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }

  void ShowMessage(const std::string& text, const std::string& title = {},
                   platform::MessageIcon icon = platform::MessageIcon::kNone) override;
  bool AskYesNo(const std::string& text, const std::string& title = {}) override;
  std::string InputBox(const std::string& prompt, const std::string& preset,
                       const std::string& title = {}) override;
  std::string PickFolder(const std::string& title, const std::string& start_folder) override;
  // Opens in the folder of the last files chosen, at first in the user's
  // documents folder: the shell's dialog needs a folder to list.
  std::vector<std::string> PickOpenFiles(const std::string& title, const std::string& filter) override;
  void OpenFolder(const std::string& path) override;
  void OpenUrl(const std::string& url) override;

  // CR, LF and CR LF each made one CR LF, as message boxes break lines.
  static std::wstring BoxText(const std::string& text);
  // The paths of a file-open result: one path, or a folder and names, each
  // followed by a NUL, the whole ended by a second NUL.
  static std::vector<std::string> SplitOpenResult(const std::wstring& result);
  // "Name (*.ext)" as the dialog's filter pairs: name NUL pattern NUL NUL.
  static std::wstring FilterPairs(const std::string& filter);

 private:
  std::wstring Title(const std::string& title) const;

  HWND owner_ = nullptr;
  std::wstring last_open_folder_;
};

// "Yield to the message loop": handles every message waiting, then returns.
class Win32EventPump : public platform::EventPump {
 public:
  void Yield() override;
};

class Win32RandomSource : public platform::RandomSource {
 public:
  Win32RandomSource();
  int Draw1To100() override;

 private:
  std::mt19937 generator_;
};

}  // namespace face_win32
