// The system-independent part of child_process.h: the Windows command line.
#include "platform/child_process.h"

namespace platform {

namespace {

// One argument as the C runtime's parser reads it back: in double quotes when it
// is empty or holds a blank or a quote; backslashes count only before a quote
// (inside, and the closing one), where each is doubled and the quote escaped.
void AppendQuoted(std::string& line, const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += argument;
    return;
  }
  line += '"';
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(backslashes * 2 + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  // The program's own name ends at the next quote, with no escapes: a path
  // cannot hold a quote, so it is simply quoted.
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : arguments) {
    line += ' ';
    AppendQuoted(line, argument);
  }
  return line;
}

}  // namespace platform
