// Feeds arbitrary bytes to the whole conversion: compound file, .msg reader,
// bodies (RTF included), composition and the MIME writer. Nothing is written to
// disk; the sanitizers find what goes wrong.
#include <cstddef>
#include <cstdint>

#include "converter_tool/run.h"

namespace {

class NullSink : public formats::mime::Sink {
 public:
  formats::Status Write(std::string_view) override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NullSink sink;
  converter::ComposeOptions options{[] { return int64_t{0}; }, [] { return std::string(32, '0'); }};
  formats::mime::WriteOptions write{[] { return std::string("=_fuzz"); }};
  (void)converter::ConvertBytes({data, size}, sink, options, write);
  return 0;
}
