// An input box: a prompt, a text box holding a preset answer, OK and Cancel,
// built from a dialog template in memory.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace face_win32 {

inline constexpr int kInputBoxEdit = 1001;
inline constexpr int kInputBoxPrompt = 1002;

// The answer on OK, nothing on Cancel or when the box cannot be shown.
std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt, const std::wstring& preset,
                                         const std::wstring& title);

// The dialog template ShowInputBox shows, as words (DWORD-aligned at the start).
std::vector<WORD> InputBoxTemplate();

}  // namespace face_win32
