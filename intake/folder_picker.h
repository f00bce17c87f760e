// The folder picker of the two folder buttons.
#pragma once

#include <QString>

#include "platform/dialogs.h"

namespace intake {

// Shows the modal folder chooser with `title`, `start_folder` preselected, and
// returns the chosen folder's full path without a trailing separator (the root
// keeps its own: "/"), or empty text when the user cancelled. The result never
// holds a NUL: it is cut before the first one.
QString BrowseForFolder(platform::Dialogs& dialogs, const QString& title,
                        const QString& start_folder);

}  // namespace intake
