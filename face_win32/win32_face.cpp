#include "face_win32/win32_face.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>

#include "face_win32/progress_bar.h"
#include "face_win32/skin_colours.h"
#include "face_win32/wide_text.h"
#include "platform/error_report.h"

namespace face_win32 {
namespace {

HFONT MakeFont(const window::FontSpec& spec, int dpi) {
  return CreateFontW(-MulDiv(spec.centipoints, dpi, 7200), 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE,
                     FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, Wide(spec.family).c_str());
}

RECT PixelPlace(ControlId id, int dpi) {
  const window::TwipRect twips = window::PlaceInWindow(id);
  return {TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi), TwipsToPixels(twips.right, dpi),
          TwipsToPixels(twips.bottom, dpi)};
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::vector<std::string> DroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    paths.push_back(Utf8(path));
  }
  return paths;
}

int ShiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? window::kShift : 0) | (GetKeyState(VK_CONTROL) < 0 ? window::kCtrl : 0) |
         (GetKeyState(VK_MENU) < 0 ? window::kAlt : 0);
}

int ButtonsOf(WPARAM keys) {
  return ((keys & MK_LBUTTON) ? window::kLeftButton : 0) | ((keys & MK_RBUTTON) ? window::kRightButton : 0) |
         ((keys & MK_MBUTTON) ? window::kMiddleButton : 0);
}

}  // namespace

Win32Face::Win32Face(HINSTANCE instance, int dpi) {
  if (dpi <= 0) {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  dpi_ = dpi > 0 ? dpi : 96;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterProgressBarClass(instance);
  icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                        GetSystemMetrics(SM_CYICON), 0));
  small_icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));

  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = WindowProc;
  form_class.hInstance = instance;
  form_class.hIcon = icon_;
  form_class.hIconSm = small_icon_;
  form_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kWindowClass;
  RegisterClassExW(&form_class);

  // A fixed single border: the client area is the form's, whatever the frame.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, TwipsToPixels(window::kClientTwipsWide, dpi_), TwipsToPixels(window::kClientTwipsHigh, dpi_)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  window_ = CreateWindowExW(0, kWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, this);
  window_font_ = MakeFont(window::kWindowFont, dpi_);
  button_font_ = MakeFont(window::kButtonFont, dpi_);
  CreateControls(instance);
}

Win32Face::~Win32Face() {
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (tooltip_) DestroyWindow(tooltip_);
  DeleteObject(window_font_);
  DeleteObject(button_font_);
  if (skin_brush_) DeleteObject(skin_brush_);
  if (hand_cursor_) DestroyCursor(hand_cursor_);
  if (drag_cursor_) DestroyCursor(drag_cursor_);
}

void Win32Face::CreateControls(HINSTANCE instance) {
  for (const window::ControlSpec& place : window::Controls()) {
    const wchar_t* window_class = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    HFONT font = place.font == &window::kButtonFont ? button_font_ : window_font_;
    switch (place.kind) {
      case ControlKind::kPushButton:
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::kFrame:
        style |= BS_GROUPBOX;
        break;
      case ControlKind::kOption:
        style |= BS_RADIOBUTTON | WS_TABSTOP;
        break;
      case ControlKind::kTextBox:
        window_class = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kListView:
        window_class = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP;
        ex_style = WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES;
        break;
      case ControlKind::kProgressBar:
        window_class = kProgressBarClass;
        break;
    }
    const RECT pixels = PixelPlace(place.id, dpi_);
    HWND control = CreateWindowExW(ex_style, window_class, Wide(place.caption).c_str(), style, pixels.left,
                                   pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (place.selected) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    if (place.kind == ControlKind::kPushButton || place.kind == ControlKind::kListView) {
      SetWindowSubclass(control, ControlProc, place.id, reinterpret_cast<DWORD_PTR>(this));
    }
  }
  // The frames lie under what they hold.
  SetWindowPos(Control(kFrame4), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(Control(kFrame1), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  DragAcceptFiles(Control(kListView1), TRUE);

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  for (const window::ControlSpec& place : window::Controls()) {
    if (*place.tooltip == '\0') continue;
    std::wstring text = Wide(place.tooltip);
    TOOLINFOW tip{};
    tip.cbSize = sizeof tip;
    tip.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tip.hwnd = window_;
    tip.uId = reinterpret_cast<UINT_PTR>(Control(place.id));
    tip.lpszText = text.data();  // the tooltip keeps its own copy
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
  }
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, TwipsToPixels(window::kTooltipTwipsWide, dpi_));
}

template <typename Handler>
void Win32Face::Forward(Handler&& handler) {
  if (form_) handler(*form_);
}

LRESULT CALLBACK Win32Face::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* face = static_cast<Win32Face*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    face->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(face));
  }
  auto* face = reinterpret_cast<Win32Face*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!face) return DefWindowProcW(window, message, wparam, lparam);
  return face->OnMessage(message, wparam, lparam);
}

LRESULT Win32Face::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_MOUSEMOVE:
      OnMouseMoveOverWindow({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && OnSetCursor(reinterpret_cast<HWND>(wparam))) return TRUE;
      break;
    case WM_ERASEBKGND:
      if (skin_brush_) {
        RECT area;
        GetClientRect(window_, &area);
        FillRect(reinterpret_cast<HDC>(wparam), &area, skin_brush_);
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (skin_brush_) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetBkColor(dc, skin_background_);
        if (skin_text_ != CLR_INVALID) SetTextColor(dc, skin_text_);
        return reinterpret_cast<LRESULT>(skin_brush_);
      }
      break;
    case WM_CLOSE:
      if (form_) {
        Forward([](window::FormEvents& form) { form.Unload(); });
      } else {
        DestroyWindow(window_);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

void Win32Face::OnCommand(int id, int code) {
  if (id == kText1) {
    if (code == EN_CHANGE) Forward([](window::FormEvents& form) { form.Text1Change(); });
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case kPushButton1:
    case kPushButton2:
    case kPushButton3:
    case kPushButton4:
    case kPushButton6:
    case kPushButton7:
    case kPushButton9: {
      const int number = id - kPushButton1 + 1;
      Forward([&](window::FormEvents& form) { form.PushButtonClick(number); });
      break;
    }
    case kOption1:
      Forward([](window::FormEvents& form) { form.OptionClick(1); });
      break;
    case kOption2:
      Forward([](window::FormEvents& form) { form.OptionClick(2); });
      break;
    default: break;
  }
}

LRESULT Win32Face::OnNotify(const NMHDR& header) {
  if (header.idFrom != kListView1) return 0;
  switch (header.code) {
    case NM_DBLCLK:
      Forward([](window::FormEvents& form) { form.ListDblClick(); });
      break;
    case NM_CLICK:
      if (reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0) {
        Forward([](window::FormEvents& form) { form.ListItemClick(); });
      }
      break;
    case LVN_KEYDOWN: {
      const int key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
      const int shift = ShiftState();
      Forward([&](window::FormEvents& form) { form.ListKeyDown(key, shift); });
      break;
    }
    default:
      break;
  }
  return 0;
}

void Win32Face::OnMouseMoveOverWindow(POINT point) {
  auto inside = [&](ControlId frame) {
    RECT rect;
    GetWindowRect(Control(frame), &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    return PtInRect(&rect, point) != FALSE;
  };
  if (inside(kFrame4)) {
    Forward([](window::FormEvents& form) { form.Frame4MouseMove(); });
  } else if (inside(kFrame1)) {
    Forward([](window::FormEvents& form) { form.Frame1MouseMove(); });
  } else {
    Forward([](window::FormEvents& form) { form.FormMouseMove(); });
  }
}

bool Win32Face::OnSetCursor(HWND over) {
  // The text box keeps its own pointer unless the window is busy.
  if (over == Control(kText1) && form_pointer_ != window::Pointer::kHourglass) return false;
  SetCursor(CursorFor(form_pointer_));
  return true;
}

LRESULT CALLBACK Win32Face::ControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                        DWORD_PTR face) {
  return reinterpret_cast<Win32Face*>(face)->OnControlMessage(control, static_cast<int>(id), message, wparam,
                                                               lparam);
}

LRESULT Win32Face::OnControlMessage(HWND control, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  if (id != kListView1) {
    if (message == WM_MOUSEMOVE) Forward([](window::FormEvents& form) { form.PushButtonMouseMove(); });
    return DefSubclassProc(control, message, wparam, lparam);
  }
  const int x = GET_X_LPARAM(lparam);
  const int y = GET_Y_LPARAM(lparam);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      const int button = message == WM_LBUTTONDOWN   ? window::kLeftButton
                         : message == WM_RBUTTONDOWN ? window::kRightButton
                                                     : window::kMiddleButton;
      Forward([&](window::FormEvents& form) { form.ListMouseDown(button, x, y); });
      const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
      // The list waits for a drag inside the press and swallows the release
      // of a plain click; report it here.
      const int key = button == window::kLeftButton ? VK_LBUTTON : button == window::kRightButton ? VK_RBUTTON
                                                                                                  : VK_MBUTTON;
      if (GetAsyncKeyState(key) >= 0) {
        Forward([&](window::FormEvents& form) { form.ListMouseUp(button, x, y); });
      }
      return result;
    }
    case WM_MOUSEMOVE:
      Forward([&](window::FormEvents& form) { form.ListMouseMove(ButtonsOf(wparam), x, y); });
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int button = message == WM_LBUTTONUP   ? window::kLeftButton
                         : message == WM_RBUTTONUP ? window::kRightButton
                                                   : window::kMiddleButton;
      Forward([&](window::FormEvents& form) { form.ListMouseUp(button, x, y); });
      break;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && ListCursor() != nullptr) {
        SetCursor(ListCursor());
        return TRUE;
      }
      break;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wparam);
      const std::vector<std::string> paths = DroppedPaths(drop);
      DragFinish(drop);
      DropFiles(paths);
      return 0;
    }
    default:
      break;
  }
  return DefSubclassProc(control, message, wparam, lparam);
}

void Win32Face::DropFiles(const std::vector<std::string>& paths) {
  // Explorer's drop offers no refusal while dragging; the files are taken
  // only when the list would have accepted them.
  Forward([&](window::FormEvents& form) {
    if (form.ListDragOver(paths)) form.ListDragDrop(paths);
  });
}

HCURSOR Win32Face::CursorFor(window::Pointer pointer) const {
  switch (pointer) {
    case window::Pointer::kHourglass:
      return LoadCursorW(nullptr, IDC_WAIT);
    case window::Pointer::kHand:
      if (hand_cursor_) return hand_cursor_;
      break;
    case window::Pointer::kDrag:
      if (drag_cursor_) return drag_cursor_;
      break;
    case window::Pointer::kDefault:
      break;
  }
  return LoadCursorW(nullptr, IDC_ARROW);
}

// --- the window itself ---

void Win32Face::SetCaption(const std::string& caption) {
  SetWindowTextW(window_, Wide(caption).c_str());
  if (icon_) SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (small_icon_) SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
}

void Win32Face::ApplySkin(const std::string& style_sheet) {
  const SkinColours colours = ParseSkinColours(style_sheet);
  // Without a skin colour of its own the window takes the button face, as the
  // plain window has it.
  skin_background_ = colours.background.value_or(GetSysColor(COLOR_BTNFACE));
  skin_text_ = colours.text.value_or(CLR_INVALID);
  if (skin_brush_) DeleteObject(skin_brush_);
  skin_brush_ = CreateSolidBrush(skin_background_);
  InvalidateRect(window_, nullptr, TRUE);
}

std::string Win32Face::DesktopLocation() {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return Utf8(path);
}

std::string Win32Face::HomeLocation() {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return Utf8(path);
}

// --- pointers ---

void Win32Face::LoadHandPointer(const std::string& file) {
  HCURSOR cursor = LoadCursorFromFileW(Wide(file).c_str());
  if (!cursor) throw platform::Failure("Invalid picture");
  if (hand_cursor_) DestroyCursor(hand_cursor_);
  hand_cursor_ = cursor;
}

void Win32Face::SetFormPointer(window::Pointer pointer) {
  form_pointer_ = pointer;
  // Shown at once when the mouse is over the window, not at its next move.
  POINT at;
  if (!GetCursorPos(&at)) return;
  HWND over = WindowFromPoint(at);
  if (over == window_ || (over && GetParent(over) == window_ && over != Control(kListView1))) {
    OnSetCursor(over);
  }
}

void Win32Face::LoadDragPointer(const std::string& file) {
  const std::wstring path = Wide(file);
  auto cursor = static_cast<HCURSOR>(LoadCursorFromFileW(path.c_str()));
  if (!cursor) {
    // An icon file: its centre is the hot spot.
    cursor = static_cast<HCURSOR>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0,
                                             LR_LOADFROMFILE | LR_DEFAULTSIZE));
  }
  if (!cursor) throw platform::Failure("Invalid picture");
  if (drag_cursor_) DestroyCursor(drag_cursor_);
  drag_cursor_ = cursor;
}

HCURSOR Win32Face::ListCursor() const {
  return list_pointer_ == window::Pointer::kDefault ? nullptr : CursorFor(list_pointer_);
}

void Win32Face::SetListPointer(window::Pointer pointer) {
  list_pointer_ = pointer;
  // Shown at once when the mouse is over the list, not at its next move.
  POINT at;
  if (GetCursorPos(&at) && WindowFromPoint(at) == Control(kListView1)) {
    SetCursor(ListCursor() ? ListCursor() : LoadCursorW(nullptr, IDC_ARROW));
  }
}

int Win32Face::ScreenPointerY() const {
  POINT at{};
  GetCursorPos(&at);
  return at.y;
}

// --- ListView1 ---

void Win32Face::SetListHeader(const std::string& text) {
  std::wstring header = Wide(text);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = header.data();
  HWND list = Control(kListView1);
  HWND header_control = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (header_control && SendMessageW(header_control, HDM_GETITEMCOUNT, 0, 0) > 0) {
    SendMessageW(list, LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  } else {
    column.mask |= LVCF_WIDTH;
    column.cx = TwipsToPixels(window::kColumnTwips, dpi_);
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  }
}

std::string Win32Face::ListHeader() const {
  wchar_t text[256] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = 255;
  if (!SendMessageW(Control(kListView1), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column))) return {};
  return Utf8(text);
}

void Win32Face::SetListColumnWidth(int twips) {
  SendMessageW(Control(kListView1), LVM_SETCOLUMNWIDTH, 0, TwipsToPixels(twips, dpi_));
}

int Win32Face::ListColumnWidthPixels() const {
  return static_cast<int>(SendMessageW(Control(kListView1), LVM_GETCOLUMNWIDTH, 0, 0));
}

int Win32Face::ItemCount() const {
  return static_cast<int>(SendMessageW(Control(kListView1), LVM_GETITEMCOUNT, 0, 0));
}

std::string Win32Face::ItemText(int index1) const {
  if (index1 < 1 || index1 > ItemCount()) return {};
  // The list copies at most the buffer less one; grow until the text fits.
  for (size_t size = 512; size <= (1u << 20); size *= 4) {
    std::wstring text(size, L'\0');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(size);
    const auto copied = static_cast<size_t>(
        SendMessageW(Control(kListView1), LVM_GETITEMTEXTW, index1 - 1, reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < size) {
      text.resize(copied);
      return Utf8(text);
    }
  }
  return {};
}

void Win32Face::SetItemText(int index1, const std::string& text) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = wide.data();
  SendMessageW(Control(kListView1), LVM_SETITEMTEXTW, index1 - 1, reinterpret_cast<LPARAM>(&item));
}

void Win32Face::AddItem(const std::string& text) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ItemCount();
  item.pszText = wide.data();
  SendMessageW(Control(kListView1), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32Face::RemoveItem(int index1) { SendMessageW(Control(kListView1), LVM_DELETEITEM, index1 - 1, 0); }

void Win32Face::ClearItems() { SendMessageW(Control(kListView1), LVM_DELETEALLITEMS, 0, 0); }

int Win32Face::SelectedItem() const {
  return static_cast<int>(SendMessageW(Control(kListView1), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       LVNI_SELECTED)) + 1;
}

void Win32Face::SetCurrentItem(int index1) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Control(kListView1), LVM_SETITEMSTATE, index1 - 1, reinterpret_cast<LPARAM>(&item));
}

void Win32Face::ScrollToItem(int index1) {
  SendMessageW(Control(kListView1), LVM_ENSUREVISIBLE, index1 - 1, FALSE);
}

int Win32Face::ItemAt(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  const auto index = static_cast<int>(
      SendMessageW(Control(kListView1), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return (index >= 0 && (hit.flags & LVHT_ONITEM)) ? index + 1 : 0;
}

// --- Frame1 ---

std::string Win32Face::Text1Value() const { return Utf8(WindowText(Control(kText1))); }

void Win32Face::SetText1(const std::string& text) {
  const std::wstring wide = Wide(text);
  if (wide != WindowText(Control(kText1))) SetWindowTextW(Control(kText1), wide.c_str());
}

bool Win32Face::Option1Value() const {
  return SendMessageW(Control(kOption1), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Face::SetOption1Value(bool selected) {
  SendMessageW(Control(kOption1), BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Face::Option2Value() const {
  return SendMessageW(Control(kOption2), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Face::SetOption2Value(bool selected) {
  SendMessageW(Control(kOption2), BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Face::SetFrame4Enabled(bool enabled) {
  // What a frame holds takes no input while the frame is disabled.
  for (ControlId id : {kFrame4, kText1, kPushButton9}) EnableWindow(Control(id), enabled);
}

// --- ProgressBar1 ---

std::string Win32Face::ProgressText() const { return Utf8(ProgressOf(Control(kProgressBar1)).text); }

void Win32Face::SetProgressText(const std::string& text) {
  face_win32::SetProgressText(Control(kProgressBar1), Wide(text));
}

double Win32Face::ProgressValue() const { return ProgressOf(Control(kProgressBar1)).value; }

void Win32Face::SetProgressValue(double value) {
  face_win32::SetProgressValue(Control(kProgressBar1), value);
  UpdateWindow(Control(kProgressBar1));
}

}  // namespace face_win32
