#include "face_win32/win32_dialogs.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <ctime>

#include "face_win32/input_box.h"
#include "face_win32/wide_text.h"
#include "platform/error_report.h"

namespace face_win32 {
namespace {

int CALLBACK FolderDialogEvent(HWND dialog, UINT message, LPARAM, LPARAM start_folder) {
  if (message == BFFM_INITIALIZED && start_folder) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start_folder);
  }
  return 0;
}

std::wstring DocumentsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}

}  // namespace

std::wstring Win32Dialogs::Title(const std::string& title) const {
  return Wide(TitleOr(title));
}

std::wstring Win32Dialogs::BoxText(const std::string& text) {
  const std::wstring wide = Wide(text);
  std::wstring out;
  out.reserve(wide.size() + 8);
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r') {
      out += L"\r\n";
      if (i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
    } else if (wide[i] == L'\n') {
      out += L"\r\n";
    } else {
      out += wide[i];
    }
  }
  return out;
}

void Win32Dialogs::ShowMessage(const std::string& text, const std::string& title, platform::MessageIcon icon) {
  const UINT style = MB_OK | (icon == platform::MessageIcon::kWarning ? MB_ICONEXCLAMATION : 0);
  MessageBoxW(owner_, BoxText(text).c_str(), Title(title).c_str(), style);
}

bool Win32Dialogs::AskYesNo(const std::string& text, const std::string& title) {
  return MessageBoxW(owner_, BoxText(text).c_str(), Title(title).c_str(), MB_YESNO) == IDYES;
}

std::string Win32Dialogs::InputBox(const std::string& prompt, const std::string& preset,
                                   const std::string& title) {
  const std::optional<std::wstring> answer = ShowInputBox(owner_, BoxText(prompt), Wide(preset), Title(title));
  return answer ? Utf8(*answer) : std::string();
}

std::string Win32Dialogs::PickFolder(const std::string& title, const std::string& start_folder) {
  const std::wstring heading = Wide(title);
  const std::wstring start = Wide(start_folder);
  BROWSEINFOW browse{};
  browse.hwndOwner = owner_;
  browse.lpszTitle = heading.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lpfn = FolderDialogEvent;
  browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return {};
  wchar_t path[MAX_PATH] = {};
  const bool named = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (!named) return {};
  std::wstring folder = path;
  // No trailing separator, except on a root (C:\).
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return Utf8(folder);
}

std::wstring Win32Dialogs::FilterPairs(const std::string& filter) {
  std::wstring name = Wide(filter);
  std::wstring pattern = L"*.*";
  const size_t open = name.rfind(L'(');
  const size_t close = name.rfind(L')');
  if (open != std::wstring::npos && close != std::wstring::npos && close > open + 1) {
    pattern = name.substr(open + 1, close - open - 1);
  }
  std::wstring pairs = name;
  pairs += L'\0';
  pairs += pattern;
  pairs += L'\0';
  pairs += L'\0';
  return pairs;
}

std::vector<std::string> Win32Dialogs::SplitOpenResult(const std::wstring& result) {
  std::vector<std::wstring> pieces;
  size_t at = 0;
  while (at < result.size() && result[at] != L'\0') {
    size_t end = result.find(L'\0', at);
    if (end == std::wstring::npos) end = result.size();
    pieces.push_back(result.substr(at, end - at));
    at = end + 1;
  }
  std::vector<std::string> paths;
  if (pieces.size() == 1) {
    paths.push_back(Utf8(pieces.front()));
    return paths;
  }
  for (size_t i = 1; i < pieces.size(); ++i) {
    std::wstring path = pieces.front();
    if (path.empty() || path.back() != L'\\') path += L'\\';
    paths.push_back(Utf8(path + pieces[i]));
  }
  return paths;
}

std::vector<std::string> Win32Dialogs::PickOpenFiles(const std::string& title, const std::string& filter) {
  const std::wstring heading = Wide(title);
  const std::wstring filters = FilterPairs(filter);
  if (last_open_folder_.empty()) last_open_folder_ = DocumentsFolder();
  std::wstring result(kOpenResultChars, L'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = owner_;
  open.lpstrFilter = filters.c_str();
  open.lpstrFile = result.data();
  open.nMaxFile = kOpenResultChars;
  open.lpstrInitialDir = last_open_folder_.empty() ? nullptr : last_open_folder_.c_str();
  open.lpstrTitle = heading.c_str();
  open.Flags = OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES;
  if (!GetOpenFileNameW(&open)) {
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      throw platform::Failure("Too many files were selected");
    }
    return {};
  }
  std::vector<std::string> paths = SplitOpenResult(result);
  if (!paths.empty()) {
    // The folder part of the result: up to the first NUL for several files.
    const std::wstring first(result.c_str());
    last_open_folder_ = paths.size() > 1 ? first : first.substr(0, first.rfind(L'\\') + 1);
  }
  return paths;
}

void Win32Dialogs::OpenFolder(const std::string& path) {
  ShellExecuteW(owner_, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Dialogs::OpenUrl(const std::string& url) {
  ShellExecuteW(owner_, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32EventPump::Yield() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Kept for the main loop, which ends the program with it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

Win32RandomSource::Win32RandomSource()
    : generator_(static_cast<unsigned>(std::time(nullptr)) ^ GetCurrentProcessId()) {}

int Win32RandomSource::Draw1To100() { return std::uniform_int_distribution<int>(1, 100)(generator_); }

}  // namespace face_win32
