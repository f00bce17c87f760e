// The converter tool's executable image, carried inside the program and written
// out for each conversion run. One reader per system: a generated object that
// holds the built tool (carried_tool_posix.cpp), or the program's resource of
// type "CUSTOM", number 101 (carried_tool_windows.cpp).
#pragma once

#include <cstddef>
#include <span>

namespace conversion {

// The Windows resource that holds the tool.
inline constexpr wchar_t kToolResourceType[] = L"CUSTOM";
inline constexpr int kToolResourceId = 101;

// The bytes of the carried tool, valid for the life of the program. Throws
// platform::Failure("Resource not found") when the program carries none.
std::span<const std::byte> CarriedToolImage();

}  // namespace conversion
