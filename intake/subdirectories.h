// Collecting every folder below a set of start folders, level by level.
#pragma once

#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace intake {

// True when a folder with these attributes is descended into and listed: a root
// always; otherwise anything but exactly 22 (directory + hidden + system) or
// exactly 1046 (the same plus reparse point). Whole-value comparisons, so 54
// (22 + archive) qualifies.
bool FolderQualifies(int attributes, bool is_root);

// Extends `folders` in place. Every entry is a folder path ending with the
// system's separator; the caller seeds it with the chosen folder + separator. On return the set holds its
// former entries, less those whose listing failed for want of permission or for
// a missing path, followed by the folders below them, breadth first: all first
// level subfolders grouped by parent in the order of the parents, then the second
// level, and so on; within a parent, names sorted case-insensitively. With
// recurse = false only the first level is added.
//
// Skipped with everything below them: names with HasBadNameChars or a '?', names
// that are not valid UTF-8. Entries kMaxPathLength long or longer stay but are
// not descended into.
//
// A link to a start folder or to one of its ancestors is a loop and is skipped;
// so is a link to a folder inside a start folder, which is listed under its real
// path instead. Links to folders elsewhere are followed. A folder is walked at
// most once per call, recognised by device and inode: a link or bind mount
// leading back to a folder already met adds nothing, so the walk always ends and
// no file of the tree is listed twice. Yields through `pump` once per folder looked up, once
// per subfolder met and once per new entry appended. Unexpected failures of the
// lookup and appending steps are shown through the error report on `dialogs`,
// and the walk goes on; a folder that cannot be listed is handled silently.
void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse, platform::Dialogs& dialogs,
                           platform::EventPump& pump);

}  // namespace intake
