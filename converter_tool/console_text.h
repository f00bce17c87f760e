// The tool's line as text a terminal shows as it is: the line carries names,
// addresses and classes out of the file, and a file must not be able to break
// the line or send a terminal control sequences.
#pragma once

#include <string>
#include <string_view>

namespace converter {

// `text` (UTF-8) with every control character escaped: C0 controls, DEL and
// bytes that are no part of valid UTF-8 as \xNN, C1 controls and the line and
// paragraph separators (U+2028, U+2029) as \u{NNNN}; hex digits in upper case.
// Everything else is kept, so the result is one line of printable text.
std::string ConsoleText(std::string_view text);

}  // namespace converter
