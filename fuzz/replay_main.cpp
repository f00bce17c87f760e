// Runs a fuzz target over files, without libFuzzer: the regression test of every
// target in ordinary and sanitizer builds.
//
//   replay_<target> [--optional] <file or folder>... [--max-seconds N]
//
// Folders are read recursively, files in name order. A folder after --optional
// may be missing (inputs written at build time). A crash or sanitizer report
// ends the process as it would under libFuzzer; an input slower than
// --max-seconds (default 30) is a hang and fails the run, and so does a run that
// found no input at all, since it would test nothing.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  double max_seconds = 30;
  bool optional = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--optional") {
      optional = true;
      continue;
    }
    if (arg == "--max-seconds" && i + 1 < argc) {
      max_seconds = std::atof(argv[++i]);
      continue;
    }
    const fs::path path(arg);
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
      inputs.push_back(path);
    } else if (fs::is_directory(path, ec)) {
      for (const fs::directory_entry& e : fs::recursive_directory_iterator(path)) {
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') inputs.push_back(e.path());
      }
    } else if (!optional) {
      std::fprintf(stderr, "replay: %s does not exist\n", arg.c_str());
      return 2;
    }
    optional = false;
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  int slow = 0;
  for (const fs::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > max_seconds) {
      std::fprintf(stderr, "replay: %s took %.1f s (limit %.1f s)\n", path.c_str(), seconds, max_seconds);
      ++slow;
    }
  }
  std::fprintf(stderr, "replay: %zu inputs, %d too slow\n", inputs.size(), slow);
  return slow == 0 ? 0 : 1;
}
