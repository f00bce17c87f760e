#include "converter_tool/run.h"

#include "converter_tool/file_map.h"
#include "converter_tool/output_file.h"
#include "formats/cfb/compound_file.h"
#include "formats/common/limits.h"
#include "formats/msg/reader.h"

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
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

formats::Result<std::string> ConvertFile(const std::string& msg_path, const std::string& output_folder,
                                         const ComposeOptions& compose_options,
                                         const formats::mime::WriteOptions& write_options) {
  FileMap input;
  if (formats::Status st = input.Open(msg_path, formats::limits::kMaxInputBytes); !st) return std::move(st).error();
  formats::Result<formats::cfb::CompoundFile> file = formats::cfb::CompoundFile::Open(input.bytes());
  if (!file) return std::move(file).error();
  formats::Result<formats::msg::Message> item = formats::msg::ReadMessage(*file);
  if (!item) return std::move(item).error();

  CompoundFileContent content(*file);
  formats::Result<formats::mime::Message> tree = ComposeMessage(*item, content, compose_options);
  if (!tree) return std::move(tree).error();

  // Only now is there something to write: a failure above touches no folder.
  formats::Result<std::unique_ptr<OutputFile>> out = OutputFile::Create(output_folder);
  if (!out) return std::move(out).error();
  if (formats::Status st = formats::mime::WriteMessage(*tree, **out, write_options); !st) {
    return std::move(st).error();
  }
  return (*out)->Commit();
}

std::string Run(const std::vector<std::string>& args) {
  if (args.size() < 3) return kUsage;
  formats::Result<std::string> result = ConvertFile(args[1], args[2]);
  if (!result) return FailureLine(result.error());
  return "";
}

}  // namespace converter
