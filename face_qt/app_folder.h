// Where the program file lives, so the files beside it can be found.
#pragma once

#include <QString>

// The folder holding the real program file for `program_path`, with every
// symbolic link along the way resolved and no trailing separator (a root
// keeps its own). The package puts links such as /usr/bin/mailvane on the
// PATH that point into the application folder; the folder of the link itself
// holds none of the files that belong beside the program. A path that does
// not exist is returned as its own folder, unresolved.
QString ProgramFolderOf(const QString& program_path);

// ProgramFolderOf the running program, in native separators.
QString ApplicationFolder();
