// The converter tool's body, callable from tests.
#pragma once

#include <string>
#include <vector>

namespace converter {

// Runs the tool on argv-style arguments (args[0] is the program name).
// Returns what the tool prints: empty on success, else exactly one line
// (the usage line or the failure's text) without its line end.
std::string Run(const std::vector<std::string>& args);

}  // namespace converter
