// The text side of folder_scan.h; the file system's side is in
// folder_scan_posix.cpp and folder_scan_windows.cpp.
#include "intake/folder_scan.h"

#include "intake/name_text.h"

namespace intake {

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
  return WildcardMatcher(pattern).Matches(name);
}

bool IsUsablePath(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos && path.size() < kMaxPathLength;
}

bool HasBadNameChars(const std::string& name) {
  const std::optional<std::u32string> decoded = DecodeUtf8(name);
  if (!decoded) return true;
  for (const char32_t c : *decoded) {
    if (c < 32 || c == U'?' || (c >= 127 && c <= 159)) return true;
  }
  return false;
}

}  // namespace intake
