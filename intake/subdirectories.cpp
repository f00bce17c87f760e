#include "intake/subdirectories.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "intake/folder_scan.h"
#include "intake/folder_walk.h"
#include "intake/name_text.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"

namespace intake {

namespace {

using walk::FolderId;

std::string WithoutTrailingSeparators(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == walk::kSeparator) trimmed.pop_back();
  // A drive root keeps its separator: "C:" alone names the drive's current folder.
  if (trimmed.size() == 2 && trimmed[1] == ':' && path.size() > 2) trimmed.push_back(walk::kSeparator);
  return trimmed;
}

class LevelWalker {
 public:
  LevelWalker(platform::Dialogs& dialogs, platform::EventPump& pump)
      : guard_(dialogs,
               platform::ProcedureLocation("Brannock", "AddFolder", "GetSubDirectories2016")),
        pump_(pump) {}

  // Notes where the start folders really are, before the walk begins.
  void NoteStartFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) line_.Note(folder);
  }

  // Walks the entries of `level` in order and returns the folders found directly
  // below them. Entries that cannot be listed for want of permission or for a
  // missing path are removed from `level`. `start_level`: the caller's own
  // entries, which have not been seen yet.
  std::vector<std::string> WalkLevel(std::vector<std::string>& level, bool start_level) {
    std::vector<std::string> next;
    for (size_t i = 0; i < level.size(); ++i) {
      const std::string entry = level[i];
      if (!guard_.If(108, [&] { return platform::IsFolder(entry); })) continue;
      if (!guard_.If(110, [&] { return entry.size() < kMaxPathLength; })) continue;
      std::optional<FolderId> id;
      guard_.Step(112, [&] { id = walk::LookUpFolder(entry); });
      guard_.Step(114, [&] { pump_.Yield(); });
      if (!guard_.If(116, [&] { return Qualifies(entry, id); })) continue;
      // A start entry reached again (twice in the set, or below another start
      // entry already walked) is not listed a second time. Deeper entries were
      // checked when they were found.
      if (start_level && id && !seen_.insert(*id).second) continue;

      const int failure = ListSubfolders(entry, next);
      if (failure == walk::kPermissionDenied || failure == walk::kPathNotFound) {
        const auto first = std::find(level.begin(), level.end(), entry);
        if (first != level.end()) {
          const size_t at = static_cast<size_t>(first - level.begin());
          level.erase(first);
          if (at <= i) --i;
        }
      }
    }
    return next;
  }

  // Appends the entries of `level` that are folders and qualify (the last step
  // of each level).
  void AppendQualifying(const std::vector<std::string>& level, std::vector<std::string>& folders) {
    for (const std::string& entry : level) {
      if (!guard_.If(154, [&] { return platform::IsFolder(entry); })) continue;
      guard_.Step(156, [&] { pump_.Yield(); });
      if (!guard_.If(158, [&] { return Qualifies(entry, std::nullopt); })) continue;
      guard_.Step(160, [&] { folders.push_back(entry); });
    }
  }

 private:
  // Throws when the attributes cannot be read (the folder went away).
  bool Qualifies(const std::string& entry, std::optional<FolderId> id) {
    if (!id) id = walk::LookUpFolder(entry);
    const std::optional<int> attributes = FileAttributes(WithoutTrailingSeparators(entry));
    if (!attributes) throw platform::Failure("Path not found");
    return FolderQualifies(*attributes, walk::IsRootFolder(entry, *id));
  }

  // Appends entry + name + separator to `next` for each subfolder of `entry`
  // that is walked. Returns 0, or the failure that stopped the listing; what was
  // appended before it stays. Shows nothing.
  int ListSubfolders(const std::string& entry, std::vector<std::string>& next) {
    try {
      std::vector<walk::SubFolder> subs;
      const int failure = walk::ListSubfolders(entry, line_, subs);
      // Names in the order Windows file systems keep them, so the result does
      // not depend on this file system's hash order.
      std::stable_sort(subs.begin(), subs.end(), [&](const walk::SubFolder& a, const walk::SubFolder& b) {
        return NameLess(a.name, b.name);
      });
      for (const walk::SubFolder& sub : subs) {
        pump_.Yield();
        if (sub.name.size() >= kMaxPathLength || HasBadNameChars(sub.name)) continue;
        if (!seen_.insert(sub.id).second) continue;
        next.push_back(entry + sub.name + walk::kSeparator);
      }
      return failure;
    } catch (const std::exception&) {
      return walk::kOtherFailure;
    }
  }

  platform::Guard guard_;
  platform::EventPump& pump_;
  std::set<FolderId> seen_;
  walk::StartLine line_;
};

}  // namespace

bool FolderQualifies(int attributes, bool is_root) {
  if (is_root) return true;
  return attributes != (kAttrDirectory | kAttrHidden | kAttrSystem) &&
         attributes != (kAttrDirectory | kAttrHidden | kAttrSystem | kAttrReparsePoint);
}

void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse,
                           platform::Dialogs& dialogs, platform::EventPump& pump) {
  // The original recursed once per level; a loop over the levels gives the same
  // order without a stack as deep as the tree.
  LevelWalker walker(dialogs, pump);
  walker.NoteStartFolders(folders);
  std::vector<std::string> current = walker.WalkLevel(folders, /*start_level=*/true);
  std::vector<std::string> found;
  while (!current.empty()) {
    std::vector<std::string> deeper;
    if (recurse) deeper = walker.WalkLevel(current, /*start_level=*/false);
    walker.AppendQualifying(current, found);
    current = std::move(deeper);
  }
  folders.insert(folders.end(), found.begin(), found.end());
}

}  // namespace intake
