// The tool's one line on its standard output.
#pragma once

namespace converter {

// Prints text followed by more as one line. Needs no allocation on POSIX; on
// Windows a console gets it as UTF-16 (WriteConsoleW, so any character shows as
// itself), a pipe or file as UTF-8 with CR LF.
void PrintLine(const char* text, const char* more = "");

}  // namespace converter
