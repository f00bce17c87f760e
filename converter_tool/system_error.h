// The failure of a system call, as the one line the tool prints.
#pragma once

#include <cstring>
#include <string>

#include "formats/common/result.h"

namespace converter {

// kIo with "<what>: <the system's text for error_number>". Take errno right
// after the failing call: anything in between may change it.
inline formats::ParseError SystemError(const std::string& what, int error_number) {
  return formats::MakeError(formats::ErrorCode::kIo, 0, what + ": " + std::strerror(error_number));
}

}  // namespace converter
