#include "face_win32/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace face_win32 {
namespace {

void Paint(HWND bar) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(bar, &paint);
  RECT area;
  GetClientRect(bar, &area);
  const ProgressState& state = ProgressOf(bar);

  FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
  RECT inner = area;
  InflateRect(&inner, -1, -1);
  RECT filled = inner;
  filled.right = inner.left +
                 static_cast<LONG>(std::lround(FilledFraction(state.value) * (inner.right - inner.left)));
  FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
  FrameRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));

  // The text in two colours, each clipped to its side of the bar's edge.
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
  RECT empty_part = inner;
  empty_part.left = filled.right;
  const struct {
    RECT clip;
    int colour;
  } sides[] = {{filled, COLOR_HIGHLIGHTTEXT}, {empty_part, COLOR_WINDOWTEXT}};
  for (const auto& side : sides) {
    if (side.clip.right <= side.clip.left) continue;
    SaveDC(dc);
    IntersectClipRect(dc, side.clip.left, side.clip.top, side.clip.right, side.clip.bottom);
    SetTextColor(dc, GetSysColor(side.colour));
    RECT text_area = inner;
    DrawTextW(dc, state.text.c_str(), static_cast<int>(state.text.size()), &text_area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    RestoreDC(dc, -1);
  }
  SelectObject(dc, old_font);
  EndPaint(bar, &paint);
}

LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* state = new ProgressState;
      const wchar_t* text = reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpszName;
      if (text) state->text = text;
      SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      break;
    }
    case WM_NCDESTROY:
      delete reinterpret_cast<ProgressState*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
      SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
      break;
    case WM_SETFONT:
      SetWindowLongPtrW(bar, 0, static_cast<LONG_PTR>(wparam));
      if (LOWORD(lparam)) InvalidateRect(bar, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(bar, 0);
    case WM_SETTEXT:
      ProgressOf(bar).text = lparam ? reinterpret_cast<const wchar_t*>(lparam) : L"";
      InvalidateRect(bar, nullptr, TRUE);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(ProgressOf(bar).text.size());
    case WM_GETTEXT: {
      const std::wstring& text = ProgressOf(bar).text;
      if (wparam == 0 || lparam == 0) return 0;
      const size_t count = std::min<size_t>(text.size(), wparam - 1);
      auto* out = reinterpret_cast<wchar_t*>(lparam);
      text.copy(out, count);
      out[count] = L'\0';
      return static_cast<LRESULT>(count);
    }
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT:
      Paint(bar);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(bar, message, wparam, lparam);
}

}  // namespace

bool RegisterProgressBarClass(HINSTANCE instance) {
  WNDCLASSEXW bar_class{};
  bar_class.cbSize = sizeof bar_class;
  bar_class.lpfnWndProc = BarProc;
  bar_class.cbWndExtra = sizeof(LONG_PTR);  // the font
  bar_class.hInstance = instance;
  bar_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  bar_class.lpszClassName = kProgressBarClass;
  return RegisterClassExW(&bar_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

ProgressState& ProgressOf(HWND bar) {
  return *reinterpret_cast<ProgressState*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
}

void SetProgressText(HWND bar, const std::wstring& text) {
  SetWindowTextW(bar, text.c_str());
}

void SetProgressValue(HWND bar, double value) {
  ProgressOf(bar).value = value;
  InvalidateRect(bar, nullptr, TRUE);
}

double FilledFraction(double value) {
  if (!(value > 0)) return 0;  // also NaN
  return value >= 100 ? 1.0 : value / 100.0;
}

}  // namespace face_win32
