// Where the carried converter tool is written out for a run, and how.
//
// On POSIX systems the tool lives in a folder private to the user: the
// session's runtime folder (XDG_RUNTIME_DIR) when the system has one, else a
// folder under the temporary folder that this program creates with mode 0700.
// A folder is used only when it is a real folder (not a link), owned by the user
// and writable by nobody else, so no other user can plant or swap the program
// that is about to be run. On Windows it is a "Mailvane" folder in the user's
// own temporary folder (TEMP), which other users cannot enter.
//
// A file already at the tool's place (left by a run that was cut short) is used
// only when its bytes equal the carried image; anything else there is replaced
// atomically (written under a temporary name in the same folder, flushed, then
// renamed over it), so a half-written or foreign program is never run. A link at
// the tool's place is refused, never followed.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "platform/dialogs.h"

namespace conversion {

// The tool's file name inside its folder.
#ifdef _WIN32
inline constexpr char kToolFileName[] = "Quorvex.exe";
#else
inline constexpr char kToolFileName[] = "quorvex";
#endif

// The private folder for the tool, created when missing. Throws platform::Failure
// when no private folder can be had (the candidate is a link, owned by someone
// else or writable by others, or cannot be created).
std::string PrivateToolFolder();

// Throws platform::Failure unless `folder` is an existing folder, not a link, and
// (on POSIX systems) owned by the current user and not writable by group or others.
void CheckPrivateFolder(const std::string& folder);

// Yields to the message loop, then makes `folder`/`name` hold exactly `image`
// (runnable by the user alone on POSIX systems), reusing an identical file.
// Returns the tool's path. Throws platform::Failure (and leaves no temporary file
// behind) when the folder is not private, a link stands at the tool's place, or
// the file cannot be written.
std::string PlaceTool(std::span<const std::byte> image, const std::string& folder,
                      platform::EventPump& pump, const std::string& name = kToolFileName);

}  // namespace conversion
