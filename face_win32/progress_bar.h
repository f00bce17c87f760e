// ProgressBar1 on Windows: a window of its own class that draws a line of text
// centred over a bar. The value is kept as set; the bar is drawn capped at
// empty and full (0 to 100), and a value that is not a number draws empty.
#pragma once

#include <windows.h>

#include <string>

namespace face_win32 {

inline constexpr wchar_t kProgressBarClass[] = L"MailvaneProgressBar";

// Registers the class once per process; true when it is registered.
bool RegisterProgressBarClass(HINSTANCE instance);

// The state of one bar, kept by the window itself.
struct ProgressState {
  std::wstring text;
  double value = 0;
};

// The state of a bar window made with kProgressBarClass (never null for one).
ProgressState& ProgressOf(HWND bar);
// Sets the text or the value and redraws the bar.
void SetProgressText(HWND bar, const std::wstring& text);
void SetProgressValue(HWND bar, double value);
// The share of the bar drawn filled, 0 to 1.
double FilledFraction(double value);

}  // namespace face_win32
