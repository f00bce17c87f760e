// Windows' extended-length path form ("\\?\C:\...", "\\?\UNC\server\share\..."),
// in which the file calls take paths of up to 32,767 characters instead of 260.
// Plain string work, the same on every system, so that the rules are tested
// wherever the tests run; the Windows file calls of both programs go through it.
#pragma once

#include <string>
#include <string_view>

namespace formats {

// `path` (UTF-8) in the extended-length form. Windows does no more clean-up on
// such a path, so this does what it would have done: forward slashes become
// backslashes, repeated separators one, "." and ".." segments are resolved
// (".." never climbs above the drive's root or the share), trailing spaces and
// dots of the last segment are dropped, and a path that is not absolute ("a\b",
// "\a", "C:a") is taken against `current_folder`, an absolute path in either
// form. A trailing separator stays.
//
// Comes back unchanged: a path already in a device form ("\\?\", "\\.\",
// "\??\"), an empty path, a path with a NUL, a share path without a share name,
// and a relative path when `current_folder` is not absolute. The file call then
// sees what it was given and fails or succeeds as it always did.
std::string ExtendedLengthPath(std::string_view path, std::string_view current_folder);

}  // namespace formats
