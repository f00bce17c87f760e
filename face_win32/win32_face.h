// The window on Windows: Form1's controls made of Win32 common controls, placed
// in twips and scaled with the system's DPI, forwarding their events to
// window::FormEvents (window::Form1's handlers) and answering window::Face for it.
//
// Every control is a child of the main window itself (the two frames are group
// boxes drawn around their controls), so each control's notifications reach
// one window procedure. The controls and their places come from the form's
// table (window/form_layout.h), in twips, each made absolute and scaled.
#pragma once

#include <windows.h>
// windows.h defines Yield() as an old no-op; the event pump's member has that name.
#undef Yield

#include <string>
#include <vector>

#include "window/face.h"
#include "window/form_events.h"
#include "window/form_layout.h"

namespace face_win32 {

// The form's controls and units (window/form_layout.h), under this face's names.
using window::ControlId;
using window::ControlKind;
using enum window::ControlId;
using window::TwipsToPixels;

inline constexpr wchar_t kWindowClass[] = L"MailvaneForm1";

class Win32Face : public window::Face {
 public:
  // Creates the window and its controls, hidden, at `dpi` (0: the system's).
  explicit Win32Face(HINSTANCE instance, int dpi = 0);
  ~Win32Face() override;
  Win32Face(const Win32Face&) = delete;
  Win32Face& operator=(const Win32Face&) = delete;

  // Where events go; none until attached.
  void Attach(window::FormEvents* events) { form_ = events; }

  HWND Window() const { return window_; }
  HWND Control(ControlId id) const { return GetDlgItem(window_, id); }
  int Dpi() const { return dpi_; }
  // The list's column header text.
  std::string ListHeader() const;
  int ListColumnWidthPixels() const;
  // The pointer shown for a pointer kind, and over the list (null: the
  // list's own arrow).
  HCURSOR CursorFor(window::Pointer pointer) const;
  HCURSOR ListCursor() const;
  // The skin's colours once applied (CLR_INVALID: none).
  COLORREF SkinBackground() const { return skin_background_; }
  COLORREF SkinText() const { return skin_text_; }

  // A dropped or dragged-in list of files, as Explorer's drop hands it over.
  void DropFiles(const std::vector<std::string>& paths);

  // --- window::Face ---
  void SetCaption(const std::string& caption) override;
  void ApplySkin(const std::string& style_sheet) override;
  std::string DesktopLocation() override;
  std::string HomeLocation() override;
  void LoadHandPointer(const std::string& file) override;
  void SetFormPointer(window::Pointer pointer) override;
  window::Pointer FormPointer() const override { return form_pointer_; }
  void LoadDragPointer(const std::string& file) override;
  void SetListPointer(window::Pointer pointer) override;
  int ScreenPointerY() const override;
  void SetListHeader(const std::string& text) override;
  void SetListColumnWidth(int twips) override;
  int ItemCount() const override;
  std::string ItemText(int index1) const override;
  void SetItemText(int index1, const std::string& text) override;
  void AddItem(const std::string& text) override;
  void RemoveItem(int index1) override;
  void ClearItems() override;
  int SelectedItem() const override;
  void SetCurrentItem(int index1) override;
  void ScrollToItem(int index1) override;
  int ItemAt(int x, int y) const override;
  std::string Text1Value() const override;
  void SetText1(const std::string& text) override;
  bool Option1Value() const override;
  void SetOption1Value(bool selected) override;
  bool Option2Value() const override;
  void SetOption2Value(bool selected) override;
  void SetFrame4Enabled(bool enabled) override;
  std::string ProgressText() const override;
  void SetProgressText(const std::string& text) override;
  double ProgressValue() const override;
  void SetProgressValue(double value) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR face);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnControlMessage(HWND control, int id, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  void OnMouseMoveOverWindow(POINT client_point);
  bool OnSetCursor(HWND over);
  // Reports one event, once events are attached.
  template <typename Handler>
  void Forward(Handler&& handler);

  HWND window_ = nullptr;
  int dpi_ = 96;
  HFONT window_font_ = nullptr;
  HFONT button_font_ = nullptr;
  HICON icon_ = nullptr;
  HICON small_icon_ = nullptr;
  HWND tooltip_ = nullptr;
  window::FormEvents* form_ = nullptr;

  window::Pointer form_pointer_ = window::Pointer::kDefault;
  HCURSOR hand_cursor_ = nullptr;
  window::Pointer list_pointer_ = window::Pointer::kDefault;
  HCURSOR drag_cursor_ = nullptr;
  COLORREF skin_background_ = CLR_INVALID;
  COLORREF skin_text_ = CLR_INVALID;
  HBRUSH skin_brush_ = nullptr;
};

}  // namespace face_win32
