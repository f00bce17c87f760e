// mailvane-convert: whole folder trees of .msg files converted by long-lived
// workers, with a report of every file. See --help.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "archive_converter/run.h"
#include "archive_converter/system.h"
#include "archive_converter/worker.h"
#include "converter_tool/output_file.h"
#include "converter_tool/run.h"
#include "formats/common/limits.h"
#include "formats/eml/convert.h"

namespace {

using archive_converter::kExitFailed;
using archive_converter::kExitOk;
using archive_converter::kExitUsage;

constexpr char kDescription[] =
    "Converts Outlook message files (.msg) into Internet message files (.eml).\n"
    "Each SOURCE is a .msg file or a folder; folders are searched with every folder\n"
    "below them for files ending in .msg (in any case). The output folder mirrors\n"
    "each source folder: IN/2019/a.msg becomes OUTPUT_FOLDER/2019/a.eml.\n"
    "An existing file is never replaced: a clash gets \" (2)\", \" (3)\", ...\n"
    "\n"
    "The report (CSV with a header) has one row per source: source, result,\n"
    "status, reason, input_bytes, milliseconds. Status is converted, refused (a\n"
    "sound file holding nothing a .eml can carry: a contact, a draft without\n"
    "sender, ...) or failed (unreadable, damaged, crashed or timed out, or the\n"
    "result could not be written).\n"
    "\n"
    "mailvane-convert - -   converts one .msg from standard input to standard output.\n"
    "\n"
    "Exit codes: 0 nothing failed (refusals are not failures); 1 a file failed or a\n"
    "folder could not be searched; 2 a usage error, or the output folder or the\n"
    "report cannot be used.";

// The .eml on standard output; a failure's reason on standard error.
class StandardOutput : public formats::mime::Sink {
 public:
  formats::Status Write(std::string_view bytes) override {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
      return formats::MakeError(formats::ErrorCode::kIo, 0, "Cannot write to standard output");
    }
    return {};
  }
};

int ConvertStandardInput() {
  archive_converter::BinaryStandardStreams();
  std::string input;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    input.append(buffer, got);
    if (input.size() > formats::limits::kMaxInputBytes) {
      std::fprintf(stderr, "The message is larger than %llu bytes\n",
                   static_cast<unsigned long long>(formats::limits::kMaxInputBytes));
      return kExitFailed;
    }
  }
  StandardOutput out;
  const formats::Status st = formats::eml::ConvertBytes(
      {reinterpret_cast<const uint8_t*>(input.data()), input.size()}, out);
  if (!st || std::fflush(stdout) != 0) {
    const formats::ParseError error =
        st ? formats::MakeError(formats::ErrorCode::kIo, 0, "Cannot write to standard output") : st.error();
    std::fprintf(stderr, "%s\n", converter::FailureLine(error).c_str());
    const bool refused = error.code == formats::ErrorCode::kNotMail || error.code == formats::ErrorCode::kNoSender ||
                         error.code == formats::ErrorCode::kBadAddress;
    return refused ? kExitOk : kExitFailed;
  }
  return kExitOk;
}

// Sources from a list file ("-": standard input), one per line or NUL-separated.
bool ReadList(const std::string& path, bool null_separated, std::vector<std::string>& sources) {
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const char separator = null_separated ? '\0' : '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!null_separated && !line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) sources.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

int Main(int argc, char** argv) {
  CLI::App app(kDescription, "mailvane-convert");
  app.get_formatter()->column_width(34);
  archive_converter::Options options;
  options.jobs = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> positional;
  std::string list;
  bool null_separated = false;
  bool no_file_time = false;
  bool worker = false;
  app.add_option("SOURCE... OUTPUT_FOLDER", positional,
                 "the .msg files and folders to convert, then the output folder")
      ->type_name("");
  app.add_option("--from-list", list, "read sources from FILE, one per line ('-': standard input)")
      ->type_name("FILE");
  app.add_flag("--null,-0", null_separated, "with --from-list: the sources are NUL-separated (find -print0)");
  app.add_flag("--flat", options.flat, "put every result directly in the output folder");
  app.add_flag("--overwrite", options.overwrite, "replace existing files instead of adding \" (2)\"");
  app.add_flag("--no-file-time", no_file_time,
               "leave the result's modification time alone (default: the message's sent, else received date)");
  app.add_option("--report", options.report, "write the report to FILE (default: OUTPUT_FOLDER/mailvane-report.csv)")
      ->type_name("FILE");
  app.add_flag("--resume", options.resume,
               "skip sources that the report records as converted and whose result is still there; try the "
               "rest again, adding to the report");
  app.add_option("--jobs,-j", options.jobs, "number of worker processes (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1u, 256u));
  app.add_option("--timeout", options.timeout_seconds, "seconds one file may take before it fails (default: 60)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.001, 1e6));
  app.add_option("--memory-limit", options.memory_cap_mb,
                 "memory a worker may use for one file beyond the file's size, in MB (default: 1024)")
      ->type_name("MB")
      ->check(CLI::Range(16, 1 << 20));
  app.add_flag("--quiet,-q", options.quiet, "no progress line and no summary");
  app.add_flag("--worker", worker, "")->group("");
  try {
    std::vector<std::string> arguments = archive_converter::StartUp(argc, argv);
    std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
    app.parse(arguments);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  options.file_time = !no_file_time;
  if (worker) {
    converter::OutputFile::RemoveTemporaryFileOnSignals();
    return archive_converter::WorkerMain({options.file_time, options.memory_cap_mb << 20});
  }
  if (positional.size() == 2 && positional[0] == "-" && positional[1] == "-" && list.empty()) {
    return ConvertStandardInput();
  }
  if (positional.empty() || (positional.size() < 2 && list.empty())) {
    std::fprintf(stderr, "mailvane-convert: give the sources and the output folder (see --help)\n");
    return kExitUsage;
  }
  if (null_separated && list.empty()) {
    std::fprintf(stderr, "mailvane-convert: --null goes with --from-list\n");
    return kExitUsage;
  }
  options.output = positional.back();
  positional.pop_back();
  options.sources = positional;
  if (!list.empty() && !ReadList(list, null_separated, options.sources)) {
    std::fprintf(stderr, "mailvane-convert: cannot read the list %s\n", list.c_str());
    return kExitUsage;
  }
  if (options.output == "-") {
    std::fprintf(stderr, "mailvane-convert: standard output takes one message: mailvane-convert - -\n");
    return kExitUsage;
  }
  return archive_converter::RunArchive(options, stderr);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "mailvane-convert: not enough memory\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mailvane-convert: %s\n", e.what());
  }
  return kExitFailed;
}
