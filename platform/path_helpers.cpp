// The text procedures of path_helpers.h; the file-system ones are in
// path_files_posix.cpp and path_files_windows.cpp. Separators are ASCII, so the
// byte-wise work below never splits a UTF-8 character.
#include "platform/path_helpers.h"

#include <string_view>

namespace platform {

namespace {

// The part of the pass shared by both styles: every non-overlapping pair of
// separators, counted from the left, becomes one.
std::string CollapsePairs(std::string_view text, char separator) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out.push_back(text[i]);
    if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator) ++i;
  }
  return out;
}

}  // namespace

char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }

bool EndsWithSeparator(const std::string& path) {
  if (path.empty()) return false;
  return path.back() == kSeparator || path.back() == '/';
}

std::string WithTrailingSeparator(const std::string& path) {
  if (path.empty() || EndsWithSeparator(path)) return path;
  return path + kSeparator;
}

std::string FileNameOf(const std::string& path, PathStyle style) {
  const size_t last = path.rfind(SeparatorOf(style));
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string FolderOf(const std::string& path, PathStyle style) {
  const size_t last = path.rfind(SeparatorOf(style));
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string StripExtension(const std::string& name) {
  // A dot in first place starts a name (.msg), it does not end one.
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && dot >= 1 ? name.substr(0, dot) : name;
}

std::string CollapseBackslashes(const std::string& path, PathStyle style) {
  const char separator = SeparatorOf(style);
  if (path.empty() || path.front() != separator) return CollapsePairs(path, separator);
  size_t rest = 0;
  while (rest < path.size() && path[rest] == separator) ++rest;
  // The whole leading run is the root: a network prefix on Windows, so that
  // \\srv\share survives, and the single root separator on POSIX.
  const std::string root = style == PathStyle::kWindows ? "\\\\" : "/";
  return root + CollapsePairs(std::string_view(path).substr(rest), separator);
}

}  // namespace platform
