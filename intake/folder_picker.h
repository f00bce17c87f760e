// The folder picker of the two folder buttons.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace intake {

// Shows the modal folder chooser with `title`, `start_folder` preselected, and
// returns the chosen folder's full path without a trailing separator (a root keeps its own: "/", "C:\\"), or empty text when the user cancelled. The result never
// holds a NUL: it is cut before the first one.
std::string BrowseForFolder(platform::Dialogs& dialogs, const std::string& title,
                        const std::string& start_folder);

}  // namespace intake
