#include "window/form_layout.h"

#include <array>
#include <cstdint>

namespace window {

namespace {

constexpr char kListTip[] =
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of window "
    "to reveal full names.";

constexpr const FontSpec* kW = &kWindowFont;
constexpr const FontSpec* kB = &kButtonFont;
constexpr ControlId kWin = kNoControl;

constexpr std::array<ControlSpec, 14> kControls{{
    {kPushButton3, "PushButton3", ControlKind::kPushButton, "Help", kWin, 120, 120, 7800, 405, kB, ""},
    {kListView1, "ListView1", ControlKind::kListView, "", kWin, 120, 630, 7800, 2535, kW, kListTip},
    {kPushButton1, "PushButton1", ControlKind::kPushButton, "Add MSG File(s)", kWin, 120, 3255, 3840, 405, kB, ""},
    {kPushButton4, "PushButton4", ControlKind::kPushButton, "Add All MSG File(s) In Folder", kWin, 4080, 3255,
     3840, 405, kB, ""},
    {kPushButton6, "PushButton6", ControlKind::kPushButton, "Clear List", kWin, 120, 3765, 3840, 405, kB, ""},
    {kPushButton7, "PushButton7", ControlKind::kPushButton, "Load Sample/Example Files", kWin, 4080, 3765, 3840,
     405, kB, ""},
    {kFrame1, "Frame1", ControlKind::kFrame, "Save Option", kWin, 120, 4240, 7800, 1815, kW, ""},
    {kOption1, "Option1", ControlKind::kOption, "Save results to this folder:", kFrame1, 240, 300, 3615, 255, kW,
     "", true},
    {kFrame4, "Frame4", ControlKind::kFrame, "", kFrame1, 480, 510, 6840, 810, kW, ""},
    {kText1, "Text1", ControlKind::kTextBox, "", kFrame4, 240, 300, 5670, 345, kW, ""},
    {kPushButton9, "PushButton9", ControlKind::kPushButton, "...", kFrame4, 6000, 300, 600, 345, kB, ""},
    {kOption2, "Option2", ControlKind::kOption, "Save results in folder of original file", kFrame1, 240, 1410,
     3615, 255, kW, ""},
    {kPushButton2, "PushButton2", ControlKind::kPushButton, "Start Converting", kWin, 120, 6180, 7800, 405, kB,
     ""},
    {kProgressBar1, "ProgressBar1", ControlKind::kProgressBar, "Progress Bar", kWin, 120, 6700, 7800, 405, kW,
     ""},
}};

}  // namespace

std::span<const ControlSpec> Controls() { return kControls; }

const ControlSpec* FindControl(ControlId id) {
  for (const ControlSpec& control : kControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

TwipRect PlaceInWindow(ControlId id) {
  const ControlSpec* control = FindControl(id);
  if (control == nullptr) return {};
  TwipRect rect{control->left, control->top, control->left + control->width, control->top + control->height};
  // The table is flat and its containers come first, so this walk ends.
  for (const ControlSpec* outer = FindControl(control->container); outer != nullptr;
       outer = FindControl(outer->container)) {
    rect.left += outer->left;
    rect.right += outer->left;
    rect.top += outer->top;
    rect.bottom += outer->top;
  }
  return rect;
}

int TwipsToPixels(int twips, int dpi) {
  const std::int64_t scaled = static_cast<std::int64_t>(twips) * dpi;
  const std::int64_t half = scaled >= 0 ? 720 : -720;
  return static_cast<int>((scaled + half) / 1440);
}

}  // namespace window
