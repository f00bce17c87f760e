// The carried tool on POSIX systems: the built converter's bytes, put into the
// read-only data of the program by a generated assembler include
// (carried_tool_image.cpp in the build folder).
#include "conversion/carried_tool.h"
#include "platform/error_report.h"

extern "C" const unsigned char mailvane_carried_tool_begin[];
extern "C" const unsigned char mailvane_carried_tool_end[];

namespace conversion {

std::span<const std::byte> CarriedToolImage() {
  const auto* begin = reinterpret_cast<const std::byte*>(mailvane_carried_tool_begin);
  const auto* end = reinterpret_cast<const std::byte*>(mailvane_carried_tool_end);
  if (end <= begin) throw platform::Failure("Resource not found");
  return {begin, end};
}

}  // namespace conversion
