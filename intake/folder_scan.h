// Turning a folder into file names: wildcard listing, file and name tests, and the
// attribute value a file would carry on Windows, mapped from POSIX.
//
// Paths and names are UTF-8 text in the system's own form ('/' separates on
// POSIX systems, '\' on Windows, where they become UTF-16 at each call). A
// name whose bytes are not valid UTF-8 is treated like a name the code page
// cannot write: it is never returned.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace intake {

// Longest path handed to the file system, in bytes (PATH_MAX on POSIX systems;
// Windows takes longer paths than the 260 characters of old).
inline constexpr int kMaxPathLength = 4096;

// Windows attribute bits, as the list handlers compare them.
inline constexpr int kAttrReadOnly = 1;
inline constexpr int kAttrHidden = 2;
inline constexpr int kAttrSystem = 4;
inline constexpr int kAttrDirectory = 16;
inline constexpr int kAttrArchive = 32;
inline constexpr int kAttrReparsePoint = 1024;

// True when `name` matches the Windows wildcard `pattern`: '*' any run of
// characters, '?' exactly one, letter case ignored. As on Windows, a pattern
// ending in ".*" also matches names without that dot ("*.*" matches every name,
// "a.*" matches "a").
bool MatchesWildcard(const std::string& name, const std::string& pattern);

// Names (no folder part) of the files in `folder` that match `pattern`, hidden
// files included, folders never, each passing IsExistingFile for folder + name.
// `folder` may end with a separator or not. Not recursive. Names come sorted the way
// Windows file systems enumerate them (case-insensitive, then exact), so the order
// does not depend on the file system. An empty list means nothing was found; a
// folder that cannot be opened or read yields an empty list too.
std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& pattern);

// True when `path` names an existing regular file (symbolic links followed) that
// the file system accepts by this name: false for folders, devices, pipes,
// missing paths, paths with a NUL, and paths of kMaxPathLength bytes or more. Needs no read permission on the file itself. Never fails.
bool IsExistingFile(const std::string& path);

// True when a folder name must not be walked: it holds a character below 32, a
// '?', DEL or a C1 control (U+0080..U+009F), or bytes that are not UTF-8 (the
// code page cannot represent them; they would turn into '?'). Empty names are
// not bad.
bool HasBadNameChars(const std::string& name);

// The attribute value Windows would report for `path`, mapped from POSIX:
// 16 folder, 32 every regular file, 2 hidden when the last name begins with '.',
// 1024 for a symbolic link (plus 16 or 32 from its target), 1 when the current
// user cannot write it; 4 (system) never. A writable dot-file is 34.
// nullopt when the path cannot be examined (missing, dangling link, too long).
std::optional<int> FileAttributes(const std::string& path);

// True when the path can be handed to the file system: not empty, no embedded
// NUL, shorter than kMaxPathLength.
bool IsUsablePath(const std::string& path);

}  // namespace intake
