// UTF-8 text of the window's logic and UTF-16 text of the Windows API, under the
// face's short names: the conversion itself is the layer below's
// (platform/windows_text.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/windows_text.h"

namespace face_win32 {

inline std::wstring Wide(std::string_view utf8) { return platform::WideFromUtf8(utf8); }
inline std::string Utf8(std::wstring_view utf16) { return platform::Utf8FromWide(utf16); }

}  // namespace face_win32
