#include "archive_converter/worker.h"

#include <cstdio>
#include <memory>
#include <new>

#include "archive_converter/system.h"
#include "converter_tool/file_map.h"
#include "converter_tool/output_file.h"
#include "converter_tool/run.h"
#include "formats/common/limits.h"
#include "formats/eml/compose.h"
#include "formats/mime/entity.h"
#include "formats/msg/content.h"

namespace archive_converter {

namespace {

// Paths are bounded by the system; a longer field is a broken parent.
constexpr uint32_t kMaxField = 1 << 20;

bool IsRefusal(formats::ErrorCode code) {
  return code == formats::ErrorCode::kNotMail || code == formats::ErrorCode::kNoSender ||
         code == formats::ErrorCode::kBadAddress;
}

Outcome FromError(const formats::ParseError& error) {
  return {IsRefusal(error.code) ? Status::kRefused : Status::kFailed, converter::FailureLine(error)};
}

bool ReadExactly(void* data, size_t size) { return std::fread(data, 1, size, stdin) == size; }

bool ReadField(std::string& text) {
  unsigned char length[4];
  if (!ReadExactly(length, 4)) return false;
  const uint32_t size = length[0] | length[1] << 8 | length[2] << 16 | static_cast<uint32_t>(length[3]) << 24;
  if (size > kMaxField) return false;
  text.resize(size);
  return size == 0 || ReadExactly(text.data(), size);
}

}  // namespace

const char* StatusName(Status status) {
  switch (status) {
    case Status::kConverted: return "converted";
    case Status::kRefused: return "refused";
    case Status::kFailed: break;
  }
  return "failed";
}

void AppendField(std::string& frame, const std::string& text) {
  const uint32_t size = static_cast<uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((size >> shift) & 0xFF);
  frame += text;
}

std::optional<int64_t> UnixTimeFromFiletime(std::optional<uint64_t> filetime) {
  // FILETIME counts 100 ns ticks from 1601-01-01; Unix time starts 11644473600 s later.
  if (!filetime) return std::nullopt;
  return static_cast<int64_t>(*filetime / 10000000) - 11644473600LL;
}

Outcome ConvertToTemporary(const std::string& source, const std::string& folder, const std::string& temp_name,
                           const WorkerOptions& options) {
  converter::FileMap input;
  if (formats::Status st = input.Open(source, formats::limits::kMaxInputBytes); !st) return FromError(st.error());
  CapMemory(input.bytes().size() + options.memory_cap);
  // The same steps as the tool's conversion, with the item kept at hand for
  // its dates and the result left under the name the parent chose.
  formats::Result<std::unique_ptr<formats::msg::MessageFile>> file = formats::msg::MessageFile::Open(input.bytes());
  if (!file) return FromError(file.error());
  const formats::msg::Message& message = (*file)->message();
  formats::Result<formats::mime::Message> tree = formats::eml::ComposeMessage(message, (*file)->content(), {});
  if (!tree) return FromError(tree.error());
  formats::Result<std::unique_ptr<converter::OutputFile>> out = converter::OutputFile::Create(folder, temp_name);
  if (!out) return FromError(out.error());
  if (formats::Status st = formats::mime::WriteMessage(*tree, **out, {}); !st) return FromError(st.error());
  std::optional<int64_t> date;
  if (options.file_time) {
    date = UnixTimeFromFiletime(message.client_submit_time ? message.client_submit_time : message.delivery_time);
  }
  if (formats::Status st = (*out)->Finish(date); !st) return FromError(st.error());
  return {Status::kConverted, ""};
}

int WorkerMain(const WorkerOptions& options) {
  BinaryStandardStreams();
  CapMemory(options.memory_cap);  // the size without a message, taken now
  std::string source, folder, temp_name;
  while (ReadField(source) && ReadField(folder) && ReadField(temp_name)) {
    Outcome outcome;
    try {
      outcome = ConvertToTemporary(source, folder, temp_name, options);
    } catch (const std::bad_alloc&) {
      outcome = {Status::kFailed, "Not enough memory to convert the message (above the worker's memory cap)"};
    } catch (const std::exception& e) {
      outcome = {Status::kFailed, std::string("Cannot convert the message: ") + e.what()};
    }
    std::string answer(1, static_cast<char>(outcome.status));
    AppendField(answer, outcome.reason);
    if (std::fwrite(answer.data(), 1, answer.size(), stdout) != answer.size() || std::fflush(stdout) != 0) return 1;
  }
  return 0;
}

}  // namespace archive_converter
