// Files beside the program: the application folder joined with a relative
// name in the system's form ("x/o.cjs" becomes "x\o.cjs" on Windows).
#pragma once

#include <string>

#include "platform/path_helpers.h"

namespace window {

inline std::string BesideProgram(const std::string& app_folder, std::string relative) {
  for (char& c : relative) {
    if (c == '/') c = platform::kSeparator;
  }
  if (app_folder.empty()) return relative;
  return platform::WithTrailingSeparator(app_folder) + relative;
}

}  // namespace window
