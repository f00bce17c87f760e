// The source files of a run: the files named, and every .msg file below the
// folders named (the extension in any case), each with the folder its result
// goes to relative to the output folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive_converter/system.h"

namespace archive_converter {

struct Source {
  std::string path;       // absolute
  std::string subfolder;  // below the output folder, "" or "a/b"
  EntryKind kind = EntryKind::kFile;  // kOther (a pipe, a device) or kMissing fail at once
  int error = 0;          // with kMissing: why
  uint64_t size = 0;
};

struct Collected {
  std::vector<Source> sources;
  std::vector<std::string> notes;  // one line each: what was skipped and why
};

// Walks `roots` in order. A file found twice (named twice, or reached again
// through a symbolic link) is taken once, while hard links are separate names; a folder reached again (a link
// loop) and the output folder are not walked into; a folder that cannot be
// listed is a note. With `flat`, every subfolder is "".
Collected CollectSources(const std::vector<std::string>& roots, const std::string& output_folder, bool flat);

// True when `name` ends in ".msg", in any case.
bool HasMsgExtension(const std::string& name);

}  // namespace archive_converter
