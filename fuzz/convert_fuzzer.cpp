// The whole conversion in memory: open, read the item, compose and write the
// .eml into a sink that only counts. Date, Message-ID and boundaries are fixed so
// that a finding replays the same way. A failure's line, which carries text out
// of the file, must be one line of printable text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "converter_tool/run.h"

#include "formats/cfb/compound_file.h"
#include "formats/eml/compose.h"
#include "formats/mime/entity.h"
#include "formats/msg/content.h"
#include "formats/msg/reader.h"

namespace {

class CountingSink : public formats::mime::Sink {
 public:
  formats::Status Write(std::string_view bytes) override {
    written_ += bytes.size();
    return {};
  }
  uint64_t written() const { return written_; }

 private:
  uint64_t written_ = 0;
};

int CheckLine(const formats::ParseError& error) {
  for (char c : converter::FailureLine(error)) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  formats::Result<formats::cfb::CompoundFile> file = formats::cfb::CompoundFile::Open(formats::Bytes(data, size));
  if (!file) return CheckLine(file.error());
  formats::Result<formats::msg::Message> item = formats::msg::ReadMessage(*file);
  if (!item) return CheckLine(item.error());
  formats::msg::CompoundFileContent content(*file);
  formats::eml::ComposeOptions compose_options;
  compose_options.now = [] { return int64_t{1700000000}; };
  compose_options.random_hex = [] { return std::string(32, 'a'); };
  formats::Result<formats::mime::Message> tree = formats::eml::ComposeMessage(*item, content, compose_options);
  if (!tree) return CheckLine(tree.error());
  formats::mime::WriteOptions write_options;
  int boundaries = 0;
  write_options.next_boundary = [&boundaries] { return "=_fuzz_" + std::to_string(boundaries++); };
  CountingSink sink;
  formats::Status written = formats::mime::WriteMessage(*tree, sink, write_options);
  (void)written;  // a broken attachment stream fails here, as it does in the tool
  return 0;
}
