// UTF-8 text of the window's logic and UTF-16 text of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace face_win32 {

// Invalid sequences become U+FFFD on either side (the system's conversion).
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace face_win32
