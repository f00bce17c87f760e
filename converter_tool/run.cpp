#include "converter_tool/run.h"

#include <memory>
#include <utility>

#include "converter_tool/console_text.h"
#include "converter_tool/file_map.h"
#include "converter_tool/output_file.h"
#include "formats/common/limits.h"
#include "formats/eml/convert.h"

namespace converter {

namespace {
constexpr char kUsage[] = "Usage: Quorvex.exe <msg_file> <output folder>";
}  // namespace

std::string FailureLine(const formats::ParseError& error) {
  std::string line;
  switch (error.code) {
    case formats::ErrorCode::kNotMail:
    case formats::ErrorCode::kNoSender:
    case formats::ErrorCode::kBadAddress:
    case formats::ErrorCode::kIo:
      line = error.detail;
      break;
    default:
      line = "Cannot read the message: " + error.detail + " (" + formats::ErrorCodeName(error.code) + " at offset " +
             std::to_string(error.offset) + ")";
      break;
  }
  // Names, addresses and classes in the line come from the file.
  return ConsoleText(line);
}

formats::Result<std::string> ConvertFile(const std::string& msg_path, const std::string& output_folder,
                                         const formats::eml::ComposeOptions& compose_options,
                                         const formats::mime::WriteOptions& write_options) {
  FileMap input;
  if (formats::Status st = input.Open(msg_path, formats::limits::kMaxInputBytes); !st) return std::move(st).error();
  std::string path;
  formats::Status st = formats::eml::WithComposedMessage(
      input.bytes(), compose_options, [&](const formats::mime::Message& tree) -> formats::Status {
        // Only now is there something to write: a failure before touches no folder.
        formats::Result<std::unique_ptr<OutputFile>> out = OutputFile::Create(output_folder);
        if (!out) return std::move(out).error();
        if (formats::Status written = formats::mime::WriteMessage(tree, **out, write_options); !written) {
          return written;
        }
        formats::Result<std::string> committed = (*out)->Commit();
        if (!committed) return std::move(committed).error();
        path = std::move(*committed);
        return {};
      });
  if (!st) return std::move(st).error();
  return path;
}

std::string Run(const std::vector<std::string>& args) {
  if (args.size() < 3) return kUsage;
  formats::Result<std::string> result = ConvertFile(args[1], args[2]);
  if (!result) return FailureLine(result.error());
  return "";
}

}  // namespace converter
