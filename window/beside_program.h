// Files beside the program: the application folder joined with a relative
// name in the system's form ("x/o.cjs" becomes "x\o.cjs" on Windows).
#pragma once

#include <string>

#include "platform/path_helpers.h"

namespace window {

inline std::string BesideProgram(const std::string& app_folder, std::string relative) {
  const char separator = platform::SeparatorOf(platform::kNativePathStyle);
  for (char& c : relative) {
    if (c == '/') c = separator;
  }
  if (app_folder.empty() || app_folder.back() == separator) return app_folder + relative;
  return app_folder + separator + relative;
}

}  // namespace window
