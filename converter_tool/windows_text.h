// Windows' UTF-16 and the UTF-8 the converter works in. Paths cross into UTF-8
// in wmain and back at each system call, so any name Windows can hold, an
// unpaired surrogate included (carried as its own three bytes, as WTF-8 does),
// opens again.
#pragma once

#include <string>
#include <string_view>

#include "formats/common/result.h"

namespace converter {

std::string Utf8FromWide(std::wstring_view text);

// Bytes that are not UTF-8 become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);

// A path for a file call: UTF-16 in the extended-length form, so that paths of
// any length open (formats/common/long_path.h), relative ones against the
// current folder.
std::wstring WidePath(std::string_view path);

// The system's text for an error from GetLastError, on one line without its
// closing full stop ("error <n>" where the system has none).
std::string WindowsErrorText(unsigned long error);

// kIo with "<what>: <the system's text for error>" (error from GetLastError).
formats::ParseError WindowsError(const std::string& what, unsigned long error);

}  // namespace converter
