// The file system's side of GetSubDirectories2016 (subdirectories.cpp), one
// implementation per system: folder_walk_posix.cpp, folder_walk_windows.cpp.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/path_helpers.h"

namespace intake::walk {

// The separator of the folder entries (each ends with one).
using platform::kSeparator;

// Error numbers of the original runtime that decide whether a folder that
// cannot be listed leaves the set.
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathNotFound = 76;
inline constexpr int kOtherFailure = 1;

// A folder as the file system knows it, whatever path leads to it.
struct FolderId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  auto operator<=>(const FolderId&) const = default;
};

// The folder's identity (links followed); throws platform::Failure("Path not
// found") when it cannot be looked up.
FolderId LookUpFolder(const std::string& entry);

// True when the folder is the root of its file system (a drive or share root on
// Windows), which is always walked.
bool IsRootFolder(const std::string& entry, const FolderId& id);

// Where the start folders really are: links into them or up to them are loops.
class StartLine {
 public:
  void Note(const std::string& folder);
  // True when the link at `path` leads to a start folder, below one, or above one.
  bool LeadsInto(const std::string& path) const;

 private:
  std::vector<std::string> real_paths_;
};

struct SubFolder {
  std::string name;  // "?" when the name is not UTF-8
  FolderId id;
};

// The folders directly inside `entry` (links to folders followed, except those
// `line` rejects), in no particular order. Returns 0, or one of the failure
// numbers above when the listing failed or stopped; what was found stays.
int ListSubfolders(const std::string& entry, const StartLine& line, std::vector<SubFolder>& subs);

}  // namespace intake::walk
