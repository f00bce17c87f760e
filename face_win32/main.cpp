// Mailvane.exe: the one-window application on Windows.
#include <windows.h>
// windows.h defines Yield() as an old no-op; the event pump's member has that name.
#undef Yield
#include <objbase.h>

#include <string>

#include "face_win32/wide_text.h"
#include "face_win32/win32_dialogs.h"
#include "face_win32/win32_face.h"
#include "platform/settings_registry.h"
#include "window/form1.h"
#include "window/form1_events.h"

namespace {

// The folder that holds the program file, without a trailing backslash.
std::string ApplicationFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return face_win32::Utf8(path.substr(0, path.rfind(L'\\')));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The shell's folder dialog needs a single-threaded apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  face_win32::Win32Face face(instance);
  face_win32::Win32Dialogs dialogs;
  dialogs.SetOwner(face.Window());
  face_win32::Win32EventPump pump;
  face_win32::Win32RandomSource random;
  platform::RegistrySettingsStore settings;
  window::Form1 form(face, {.dialogs = dialogs,
                      .pump = pump,
                      .random = random,
                      .settings = settings,
                      .app_folder = ApplicationFolder()});
  window::Form1Events events(form, dialogs);
  face.Attach(&events);
  // Start-up runs before the window is shown; its reports come first.
  form.Form_Load();
  ShowWindow(face.Window(), show);
  UpdateWindow(face.Window());

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(face.Window(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}
