// Windows' UTF-16 and the UTF-8 the program works in, and the system's own
// description of an error (Windows only).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The one conversion for the window's side of the program (this layer, and the
// Win32 face). Invalid sequences become U+FFFD on either side.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// A path for a file call: UTF-16 in the extended-length form, so that paths of
// any length open (formats/common/long_path.h), relative ones against the
// current folder.
std::wstring WidePath(std::string_view path);

// Throws Failure with the system's one-line text for `error` (a GetLastError
// value), preceded by `what` and ": " when `what` is not empty.
[[noreturn]] void FailWithWindowsError(const std::string& what, unsigned long error);

}  // namespace platform
