// quorvex <msg_file> <output folder>
// Prints at most one line and always exits with 0: the caller judges success by
// the .eml file that appears, not by what the tool says.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "converter_tool/output_file.h"
#include "converter_tool/run.h"

int main(int argc, char** argv) {
  converter::OutputFile::RemoveTemporaryFileOnSignals();
  // An exception that left main would end the process without unwinding, so the
  // temporary file would stay behind. Caught here, the destructors have removed it
  // by the time the line is printed; the line itself needs no allocation.
  try {
    std::vector<std::string> args(argv, argv + argc);
    const std::string line = converter::Run(args);
    if (!line.empty()) std::printf("%s\n", line.c_str());
  } catch (const std::bad_alloc&) {
    std::puts("Not enough memory to convert the message");
  } catch (const std::exception& e) {
    std::printf("Cannot convert the message: %s\n", e.what());
  }
  return 0;
}
