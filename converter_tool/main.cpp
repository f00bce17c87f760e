// quorvex <msg_file> <output folder>
// Prints at most one line and always exits with 0: the caller judges success by
// the .eml file that appears, not by what the tool says.
#include <cstdio>
#include <string>
#include <vector>

#include "converter_tool/output_file.h"
#include "converter_tool/run.h"

int main(int argc, char** argv) {
  converter::OutputFile::RemoveTemporaryFileOnSignals();
  std::vector<std::string> args(argv, argv + argc);
  const std::string line = converter::Run(args);
  if (!line.empty()) std::printf("%s\n", line.c_str());
  return 0;
}
