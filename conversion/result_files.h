// The results the converter leaves in the working folder: telling a new one
// apart, and moving it to its place. The system's side in one file per system:
// result_files_posix.cpp, result_files_windows.cpp.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace conversion {

// The target of a result: the folder joined with the source's base name and
// ".eml", with the joined separators collapsed (native path style).
std::string TargetPathFor(const std::string& source_path, const std::string& folder);

// The raw names of every entry of a folder: what was there before the tool ran.
// Empty when the folder cannot be read.
std::unordered_set<std::string> FolderEntries(const std::string& folder);

// The .eml files (by the wildcard "*.eml", letter case ignored, hidden ones
// included, folders never) that are in `folder` now and were not among
// `before`. Only the new names are examined, so a folder that fills up with
// results costs one directory read per look, not one file test per result.
std::vector<std::string> NewResultNames(const std::string& folder,
                                        const std::unordered_set<std::string>& before);

// Moves the result `from` to `to`, replacing a file at `to` in one step, so the
// old file stays until the new one is in place. Across file systems it copies
// to a temporary name in the target's folder, flushes, renames over the target
// and then removes `from`. Throws platform::Failure when it cannot; both files are
// then where they were.
void MoveResultInPlace(const std::string& from, const std::string& to);

// After a failed move: keeps the result in the working folder under the name
// `kept`, never over a file there, and otherwise removes it, so no file stays
// behind under the tool's generated name, where every further run would add
// one more. Returns the sentence the report adds about it.
std::string KeepResultAfterFailedMove(const std::string& result, const std::string& kept);

}  // namespace conversion
