// ui_driver.exe: drives a running Mailvane.exe from outside, as a user's
// clicks would, for the end-to-end checks under Wine. One command per start:
//
//   ui_driver wait <seconds>          waits for the window; prints its client size
//   ui_driver click <control id>      clicks a control (BM_CLICK, posted)
//   ui_driver answer <button> <secs>  waits for a box or dialog of the program,
//                                     prints its texts, presses yes|no|ok|cancel
//   ui_driver items                   prints the number of rows in the list
//   ui_driver fill <text> <secs>      waits for a dialog of the program (a file
//                                     dialog, an input box), prints its title,
//                                     types the text into its first text box, OK
//   ui_driver text <control id>       prints a control's text
//   ui_driver checked <control id>    prints 1 when an option is selected
//   ui_driver close                   closes the window; waits for the program's end
//
// Exit code 0 on success, 1 when the window or box did not come.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HWND FindForm() { return FindWindowW(L"MailvaneForm1", nullptr); }

HWND WaitFor(HWND (*find)(), double seconds) {
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    if (HWND found = find()) return found;
    if (GetTickCount64() > until) return nullptr;
    Sleep(100);
  }
}

// A visible dialog box (the system's class #32770) of the window's process.
HWND FindBox() {
  HWND form = FindForm();
  if (!form) return nullptr;
  DWORD form_process = 0;
  GetWindowThreadProcessId(form, &form_process);
  struct Search {
    DWORD process;
    HWND found;
  } search{form_process, nullptr};
  EnumWindows(
      [](HWND candidate, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[32] = {};
        GetClassNameW(candidate, name, 32);
        DWORD process = 0;
        GetWindowThreadProcessId(candidate, &process);
        if (process == s->process && std::wcscmp(name, L"#32770") == 0 && IsWindowVisible(candidate)) {
          s->found = candidate;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string out(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), count, nullptr,
                      nullptr);
  return out;
}

std::wstring TextOf(HWND window) {
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(
      SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

// The box's message: its static texts, one line each.
std::wstring BoxMessage(HWND box) {
  std::wstring message;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, L"Static") != 0) continue;
    const std::wstring text = TextOf(child);
    if (text.empty()) continue;
    if (!message.empty()) message += L" | ";
    message += text;
  }
  for (wchar_t& c : message) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return message;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  if (command == L"wait") {
    HWND form = WaitFor(FindForm, argc > 2 ? _wtof(argv[2]) : 30);
    if (!form) return 1;
    // Shown once start-up is over.
    const ULONGLONG until = GetTickCount64() + 30000;
    while (!IsWindowVisible(form) && GetTickCount64() < until) Sleep(100);
    RECT client;
    GetClientRect(form, &client);
    std::printf("client %ldx%ld caption %s\n", client.right, client.bottom, Utf8(TextOf(form)).c_str());
    return IsWindowVisible(form) ? 0 : 1;
  }
  HWND form = FindForm();
  if (!form) return 1;
  if (command == L"click" && argc > 2) {
    PostMessageW(GetDlgItem(form, _wtoi(argv[2])), BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"text" && argc > 2) {
    std::printf("%s\n", Utf8(TextOf(GetDlgItem(form, _wtoi(argv[2])))).c_str());
    return 0;
  }
  if (command == L"items") {
    std::printf("%d\n", static_cast<int>(SendMessageW(GetDlgItem(form, 201), 0x1004 /* LVM_GETITEMCOUNT */, 0, 0)));
    return 0;
  }
  if (command == L"checked" && argc > 2) {
    std::printf("%d\n", SendMessageW(GetDlgItem(form, _wtoi(argv[2])), BM_GETCHECK, 0, 0) == BST_CHECKED);
    return 0;
  }
  if (command == L"answer" && argc > 3) {
    HWND box = WaitFor(FindBox, _wtof(argv[3]));
    if (!box) return 1;
    Sleep(300);  // let it draw, for a screenshot taken meanwhile
    const std::wstring button = argv[2];
    const int id = button == L"yes" ? IDYES : button == L"no" ? IDNO : button == L"cancel" ? IDCANCEL : IDOK;
    std::printf("box \"%s\": %s\n", Utf8(TextOf(box)).c_str(), Utf8(BoxMessage(box)).c_str());
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    // Gone before the next command looks for a box.
    const ULONGLONG until = GetTickCount64() + 10000;
    while (IsWindow(box) && GetTickCount64() < until) Sleep(50);
    return 0;
  }
  if (command == L"fill" && argc > 3) {
    HWND box = WaitFor(FindBox, _wtof(argv[3]));
    if (!box) return 1;
    Sleep(1000);  // the shell's dialogs fill their views after they show
    HWND edit = nullptr;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
          wchar_t name[32] = {};
          GetClassNameW(child, name, 32);
          if (_wcsicmp(name, L"Edit") != 0 || !IsWindowVisible(child)) return TRUE;
          *reinterpret_cast<HWND*>(found) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&edit));
    std::printf("dialog \"%s\"\n", Utf8(TextOf(box)).c_str());
    if (!edit) return 1;
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    const ULONGLONG until = GetTickCount64() + 10000;
    while (IsWindow(box) && GetTickCount64() < until) Sleep(50);
    return IsWindow(box) ? 1 : 0;
  }
  if (command == L"close") {
    // Waits until the program has ended, so that its files are free.
    DWORD process_id = 0;
    GetWindowThreadProcessId(form, &process_id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    PostMessageW(form, WM_CLOSE, 0, 0);
    if (!process) return 0;
    const DWORD waited = WaitForSingleObject(process, 30000);
    CloseHandle(process);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
  }
  return 2;
}
