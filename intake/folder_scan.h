// Turning a folder into file names: wildcard listing, file and name tests, and the
// attribute value a file would carry on Windows, mapped from POSIX.
//
// Paths are POSIX paths ('/' separates). Names reach the file system as UTF-8, the
// narrow code page of this platform; a name whose bytes are not valid UTF-8 cannot
// be represented in a QString and is treated like a name the code page cannot
// write: it is never returned and never opens.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace intake {

// Longest path handed to the file system (PATH_MAX here; Windows used 260).
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
bool MatchesWildcard(const QString& name, const QString& pattern);

// Names (no folder part) of the files in `folder` that match `pattern`, hidden
// files included, folders never, each passing IsExistingFile for folder + name.
// `folder` may end with '/' or not. Not recursive. Names come sorted the way
// Windows file systems enumerate them (case-insensitive, then exact), so the order
// does not depend on the file system. An empty list means nothing was found; a
// folder that cannot be opened or read yields an empty list too.
QStringList ListFolderFiles(const QString& folder, const QString& pattern);

// True when `path` names an existing regular file (symbolic links followed) that
// the file system accepts by this name: false for folders, devices, pipes,
// missing paths, paths with a NUL or an unpaired surrogate, and paths longer than
// kMaxPathLength. Needs no read permission on the file itself. Never fails.
bool IsExistingFile(const QString& path);

// True when a folder name must not be walked: it holds a character below 32, a
// '?', DEL or a C1 control (U+0080..U+009F), or a character the narrow code page
// cannot represent (an unpaired surrogate, which would turn into '?'). Empty
// names are not bad.
bool HasBadNameChars(const QString& name);

// The attribute value Windows would report for `path`, mapped from POSIX:
// 16 folder, 32 every regular file, 2 hidden when the last name begins with '.',
// 1024 for a symbolic link (plus 16 or 32 from its target), 1 when the current
// user cannot write it; 4 (system) never. A writable dot-file is 34.
// nullopt when the path cannot be examined (missing, dangling link, too long).
std::optional<int> FileAttributes(const QString& path);

// Encoded path for the C library, or nullopt when the path cannot be handed over
// (embedded NUL, unpaired surrogate, longer than kMaxPathLength).
std::optional<QByteArray> EncodePath(const QString& path);

}  // namespace intake
