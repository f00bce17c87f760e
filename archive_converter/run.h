// A run over an archive: the sources converted by long-lived workers, each
// result placed without replacing anything and recorded in the report once it
// is durable, and the exit code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace archive_converter {

struct Options {
  std::vector<std::string> sources;  // files and folders
  std::string output;
  std::string report;  // empty: mailvane-report.csv in the output folder
  bool flat = false;
  bool overwrite = false;
  bool resume = false;
  bool file_time = true;
  bool quiet = false;
  unsigned jobs = 1;
  double timeout_seconds = 60;
  uint64_t memory_cap_mb = 1024;
  std::string worker_program;  // empty: this program
};

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Runs `options`; progress, notes and the summary go to `err`. Returns the
// exit code: kExitFailed when any file failed or a folder could not be
// searched, kExitUsage when the output folder or the report cannot be used.
int RunArchive(const Options& options, std::FILE* err);

// The result's name for a source's file name: its base name and ".eml", with
// " (n)" before the extension for the n-th try (n > 1).
std::string ResultName(const std::string& source_name, int attempt);

}  // namespace archive_converter
