#include "face_win32/input_box.h"

#include <algorithm>

namespace face_win32 {
namespace {

struct InputBoxState {
  const std::wstring* prompt;
  const std::wstring* preset;
  const std::wstring* title;
  std::wstring answer;
};

void PutText(std::vector<WORD>& words, const wchar_t* text) {
  for (; *text; ++text) words.push_back(static_cast<WORD>(*text));
  words.push_back(0);
}

void AlignToDword(std::vector<WORD>& words) {
  if (words.size() % 2) words.push_back(0);
}

void PutDword(std::vector<WORD>& words, DWORD value) {
  words.push_back(LOWORD(value));
  words.push_back(HIWORD(value));
}

// One control: style, place in dialog units, id, a predefined class by its
// atom, and its text.
void PutItem(std::vector<WORD>& words, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
             const wchar_t* text) {
  AlignToDword(words);
  PutDword(words, style | WS_CHILD | WS_VISIBLE);
  PutDword(words, 0);  // extended style
  for (short value : {x, y, cx, cy}) words.push_back(static_cast<WORD>(value));
  words.push_back(id);
  words.push_back(0xFFFF);
  words.push_back(atom);
  PutText(words, text);
  words.push_back(0);  // no creation data
}

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<InputBoxState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      SetWindowTextW(dialog, state->title->c_str());
      SetDlgItemTextW(dialog, kInputBoxPrompt, state->prompt->c_str());
      SetDlgItemTextW(dialog, kInputBoxEdit, state->preset->c_str());
      HWND edit = GetDlgItem(dialog, kInputBoxEdit);
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        HWND edit = GetDlgItem(dialog, kInputBoxEdit);
        const int length = GetWindowTextLengthW(edit);
        state->answer.assign(static_cast<size_t>(length) + 1, L'\0');
        state->answer.resize(static_cast<size_t>(GetWindowTextW(edit, state->answer.data(), length + 1)));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::vector<WORD> InputBoxTemplate() {
  std::vector<WORD> words;
  PutDword(words, DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  PutDword(words, 0);  // extended style
  words.push_back(4);  // controls
  for (short value : {0, 0, 240, 92}) words.push_back(static_cast<WORD>(value));
  words.push_back(0);  // no menu
  words.push_back(0);  // the dialog class
  words.push_back(0);  // title, set when shown
  words.push_back(8);  // point size
  PutText(words, L"MS Shell Dlg");
  PutItem(words, SS_LEFT | SS_NOPREFIX, 7, 7, 172, 58, kInputBoxPrompt, kStaticAtom, L"");
  PutItem(words, BS_DEFPUSHBUTTON | WS_TABSTOP, 184, 7, 50, 14, IDOK, kButtonAtom, L"OK");
  PutItem(words, BS_PUSHBUTTON | WS_TABSTOP, 184, 25, 50, 14, IDCANCEL, kButtonAtom, L"Cancel");
  PutItem(words, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 72, 226, 13, kInputBoxEdit, kEditAtom, L"");
  return words;
}

std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt, const std::wstring& preset,
                                         const std::wstring& title) {
  // DWORD alignment of the template: a vector of DWORDs holds the words.
  const std::vector<WORD> words = InputBoxTemplate();
  std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
  std::copy(words.begin(), words.end(), reinterpret_cast<WORD*>(aligned.data()));
  InputBoxState state{&prompt, &preset, &title, {}};
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<const DLGTEMPLATE*>(aligned.data()), owner,
                                                 InputBoxProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.answer;
}

}  // namespace face_win32
