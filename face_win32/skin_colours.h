// The colours a skin file gives the window on Windows.
//
// A skin file is a style sheet written for the Linux window. The Windows window
// takes its colours from it: the window's background from the rule for #Form1,
// and the text colour of the frames and option buttons from the rule for
// QGroupBox, else QRadioButton, else #Form1. Push buttons, the list and the
// bar keep the system's look. Everything else in the file is ignored.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

namespace face_win32 {

struct SkinColours {
  std::optional<COLORREF> background;
  std::optional<COLORREF> text;
};

// Colours are #rgb or #rrggbb; a rule is `selectors { property: value; ... }`.
// Comments are skipped; a file with no colour of these gives none.
SkinColours ParseSkinColours(std::string_view style_sheet);

}  // namespace face_win32
