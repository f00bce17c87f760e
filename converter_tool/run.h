// The converter tool's body, callable from tests.
#pragma once

#include <string>
#include <vector>

#include "formats/common/result.h"
#include "formats/eml/compose.h"
#include "formats/mime/entity.h"

namespace converter {

// Runs the tool on argv-style arguments (args[0] is the program name).
// Returns what the tool prints: empty on success, else exactly one line
// (the usage line or the failure's text) without its line end.
std::string Run(const std::vector<std::string>& args);

// Converts msg_path into one new .eml in output_folder; returns its path.
// Errors: everything that stops a conversion, with the text Run prints in detail.
formats::Result<std::string> ConvertFile(const std::string& msg_path, const std::string& output_folder,
                                         const formats::eml::ComposeOptions& compose_options = {},
                                         const formats::mime::WriteOptions& write_options = {});

// The one line printed for a failure, control characters escaped (ConsoleText).
std::string FailureLine(const formats::ParseError& error);

}  // namespace converter
