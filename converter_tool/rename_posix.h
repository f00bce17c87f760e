// Putting a finished file in place without ever replacing one (POSIX).
#pragma once

namespace converter {

// rename() that fails with EEXIST instead of replacing. Linux has it as
// renameat2(RENAME_NOREPLACE); elsewhere it fails with ENOSYS.
int RenameNoReplace(const char* from, const char* to);

}  // namespace converter
