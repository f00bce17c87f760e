// quorvex <msg_file> <output folder>
// Prints at most one line and always exits with 0: the caller judges success by
// the .eml file that appears, not by what the tool says.
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "converter_tool/console.h"
#include "converter_tool/output_file.h"
#include "converter_tool/run.h"
#ifdef _WIN32
#include "converter_tool/windows_text.h"
#endif

namespace {

// args: makes the argument list (inside the guard, since that allocates).
template <typename MakeArgs>
int ToolMain(MakeArgs args) {
  converter::OutputFile::RemoveTemporaryFileOnSignals();
  // An exception that left main would end the process without unwinding, so the
  // temporary file would stay behind. Caught here, the destructors have removed it
  // by the time the line is printed; the line itself needs no allocation.
  try {
    const std::string line = converter::Run(args());
    if (!line.empty()) converter::PrintLine(line.c_str());
  } catch (const std::bad_alloc&) {
    converter::PrintLine("Not enough memory to convert the message");
  } catch (const std::exception& e) {
    converter::PrintLine("Cannot convert the message: ", e.what());
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
// -municode: the arguments as UTF-16, split by the Windows rules (2n backslashes
// before a quote give n and the quote groups, 2n+1 give n and a literal quote).
int wmain(int argc, wchar_t** argv) {
  return ToolMain([&] {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(converter::Utf8FromWide(argv[i]));
    return args;
  });
}
#else
int main(int argc, char** argv) {
  return ToolMain([&] { return std::vector<std::string>(argv, argv + argc); });
}
#endif
