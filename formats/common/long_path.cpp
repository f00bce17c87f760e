#include "formats/common/long_path.h"

#include <optional>
#include <vector>

namespace formats {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char FoldedLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "\\?\...", "\\.\..." (or with forward slashes) and "\??\...": paths the
// system takes as they are.
bool IsDevicePath(std::string_view path) {
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
      IsSeparator(path[3])) {
    return true;
  }
  return path.starts_with("\\??\\");
}

// An absolute path taken apart: the root in the extended form, and what
// follows it, still to be split into segments.
struct Anchored {
  std::string root;  // "\\?\C:\" or "\\?\UNC\server\share"
  std::string rest;
  char drive = 0;  // the letter, folded; 0 for a share
};

// Splits `rest` on separators into `segments`, resolving "." and "..". A name
// ending in one dot loses it ("a." is "a"), as in the usual form; "a.." and
// "..." are names of their own.
void AppendSegments(std::string_view rest, std::vector<std::string_view>& segments) {
  size_t i = 0;
  while (i < rest.size()) {
    if (IsSeparator(rest[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string_view segment = rest.substr(i, end - i);
    if (segment.size() >= 2 && segment.back() == '.' && segment[segment.size() - 2] != '.') segment.remove_suffix(1);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (segment != ".") {
      segments.push_back(segment);
    }
    i = end;
  }
}

// The root and remainder of an absolute path ("C:\...", "\\server\share\..."
// or either in the extended form), or nullopt.
std::optional<Anchored> Anchor(std::string_view path) {
  if (path.starts_with("\\\\?\\UNC\\")) {
    path.remove_prefix(8);
    return Anchor("\\\\" + std::string(path));
  }
  if (path.starts_with("\\\\?\\")) path.remove_prefix(4);
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
    return Anchored{"\\\\?\\" + std::string(path.substr(0, 2)) + "\\", std::string(path.substr(3)),
                    FoldedLetter(path[0])};
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::vector<std::string_view> parts;
    size_t i = 2;
    // The server and the share name: the first two segments, taken literally.
    while (parts.size() < 2) {
      while (i < path.size() && IsSeparator(path[i])) ++i;
      const size_t end = path.find_first_of("\\/", i);
      const size_t stop = end == std::string_view::npos ? path.size() : end;
      if (stop == i) return std::nullopt;
      parts.push_back(path.substr(i, stop - i));
      i = stop;
    }
    return Anchored{"\\\\?\\UNC\\" + std::string(parts[0]) + "\\" + std::string(parts[1]),
                    std::string(path.substr(i)), 0};
  }
  return std::nullopt;
}

}  // namespace

std::string ExtendedLengthPath(std::string_view path, std::string_view current_folder) {
  const std::string unchanged(path);
  if (path.empty() || path.find('\0') != std::string_view::npos || IsDevicePath(path)) return unchanged;

  std::optional<Anchored> anchored = Anchor(path);
  if (!anchored && path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return unchanged;
  std::string base_rest;  // the current folder's part below its root, when the path is relative to it
  if (!anchored) {
    std::optional<Anchored> current = Anchor(current_folder);
    const bool drive_relative = path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
    if (drive_relative && (!current || current->drive != FoldedLetter(path[0]))) {
      // "D:a" with no current folder on D: known: the drive's root.
      anchored = Anchored{"\\\\?\\" + std::string(path.substr(0, 2)) + "\\", std::string(path.substr(2)),
                          FoldedLetter(path[0])};
    } else {
      if (!current) return unchanged;
      if (drive_relative) path.remove_prefix(2);
      if (path.empty() || !IsSeparator(path[0])) base_rest = current->rest + "\\";  // "\a" starts at the root
      current->rest = base_rest + std::string(path);
      anchored = std::move(current);
    }
  }

  std::vector<std::string_view> segments;
  AppendSegments(anchored->rest, segments);
  const bool trailing_separator = IsSeparator(anchored->rest.empty() ? '\0' : anchored->rest.back());
  if (!segments.empty() && !trailing_separator) {
    // Windows drops these from the last name of a path in the usual form.
    std::string_view& last = segments.back();
    while (!last.empty() && (last.back() == ' ' || last.back() == '.')) last.remove_suffix(1);
    if (last.empty()) segments.pop_back();
  }

  std::string out = anchored->root;
  const bool is_share = anchored->drive == 0;
  for (size_t k = 0; k < segments.size(); ++k) {
    if (k > 0 || is_share) out += '\\';
    out += segments[k];
  }
  if (trailing_separator && (is_share || !segments.empty())) out += '\\';
  return out;
}

}  // namespace formats
