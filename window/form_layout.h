// Form1's controls as data: what each face builds, in the form's own units.
//
// Places are in twips (1/1440 inch) relative to the control's container; each
// face turns them into its pixels (TwipsToPixels) and builds its controls in
// the order below, which is also the tab order. Texts are UTF-8.
#pragma once

#include <span>

namespace window {

enum ControlId : int {
  kNoControl = 0,  // as a container: the window itself
  kPushButton1 = 101,
  kPushButton2 = 102,
  kPushButton3 = 103,
  kPushButton4 = 104,
  kPushButton6 = 106,
  kPushButton7 = 107,
  kPushButton9 = 109,
  kListView1 = 201,
  kFrame1 = 301,
  kFrame4 = 304,
  kOption1 = 401,
  kOption2 = 402,
  kText1 = 501,
  kProgressBar1 = 601,
};

enum class ControlKind { kPushButton, kListView, kFrame, kOption, kTextBox, kProgressBar };

// Every control is Arial bold, in one of two sizes.
struct FontSpec {
  const char* family;
  int centipoints;  // hundredths of a point
  bool bold;
};
inline constexpr FontSpec kWindowFont{"Arial", 900, true};
inline constexpr FontSpec kButtonFont{"Arial", 1125, true};

struct ControlSpec {
  ControlId id;
  const char* name;     // the form's name, also the toolkit's object name
  ControlKind kind;
  const char* caption;  // empty: none
  ControlId container;  // kNoControl: the window
  int left, top, width, height;
  const FontSpec* font;
  const char* tooltip;  // empty: none
  // The option that starts selected before start-up restores the stored one.
  bool selected = false;
};

// The window's client area and the list's one column, in twips.
inline constexpr int kClientTwipsWide = 8040;
inline constexpr int kClientTwipsHigh = 7245;
inline constexpr int kColumnTwips = 7000;
// The widest a tooltip line grows before it wraps, in twips.
inline constexpr int kTooltipTwipsWide = 6000;

// The controls in creation (and tab) order.
std::span<const ControlSpec> Controls();
// The control with `id`, or nullptr.
const ControlSpec* FindControl(ControlId id);

struct TwipRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TwipRect&) const = default;
};
// A control's place in the window's client area (its containers' offsets
// added); all zero for an unknown id.
TwipRect PlaceInWindow(ControlId id);

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel (a tie
// away from zero). 15 twips make a pixel at 96 dpi, 10 at 144 dpi.
int TwipsToPixels(int twips, int dpi);

}  // namespace window
