// Where the carried converter tool is written out for a run, and how.
//
// The tool lives in a folder private to the user: the session's runtime folder
// (XDG_RUNTIME_DIR) when the platform has one, else a folder under the temporary
// folder that this program creates with mode 0700. A folder is used only when it
// is a real folder (not a link), owned by the user and writable by nobody else,
// so no other user can plant or swap the program that is about to be run.
//
// A file already at the tool's place (left by a run that was cut short) is used
// only when its bytes equal the carried image; anything else there is replaced
// atomically (written under a temporary name in the same folder, flushed, then
// renamed over it), so a half-written or foreign program is never run. A link at
// the tool's place is refused, never followed.
#pragma once

#include <QByteArray>
#include <QString>

#include "platform/dialogs.h"

namespace conversion {

// The tool's file name inside its folder.
inline constexpr char kToolFileName[] = "quorvex";

// The private folder for the tool, created when missing. Throws platform::Failure
// when no private folder can be had (the candidate is a link, owned by someone
// else or writable by others, or cannot be created).
QString PrivateToolFolder();

// Throws platform::Failure unless `folder` is an existing folder, not a link, owned
// by the current user and not writable by group or others.
void CheckPrivateFolder(const QString& folder);

// Yields to the message loop, then makes `folder`/`name` hold exactly `image`
// with mode 0700, reusing an identical file. Returns the tool's path. Throws
// platform::Failure (and leaves no temporary file behind) when the folder is not
// private, a link stands at the tool's place, or the file cannot be written.
QString PlaceTool(const QByteArray& image, const QString& folder, platform::EventPump& pump,
                  const QString& name = QString::fromLatin1(kToolFileName));

}  // namespace conversion
