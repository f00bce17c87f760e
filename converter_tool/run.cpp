#include "converter_tool/run.h"

namespace converter {

namespace {
constexpr char kUsage[] = "Usage: Quorvex.exe <msg_file> <output folder>";
}  // namespace

std::string Run(const std::vector<std::string>& args) {
  if (args.size() < 3) return kUsage;
  return "Conversion is not available in this build";
}

}  // namespace converter
