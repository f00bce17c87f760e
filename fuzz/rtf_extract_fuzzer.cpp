// De-encapsulation: detection, HTML and text recovery, and the plain text
// renderer the converter uses for recovered text. Detection and extraction must
// agree: what is detected as HTML (text) extracts as such.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/rtf/rtf.h"

namespace rtf = formats::rtf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const rtf::Encapsulation kind = rtf::DetectEncapsulation(input);
  formats::Result<std::string> html = rtf::ExtractHtml(input);
  formats::Result<std::string> text = rtf::ExtractText(input);
  auto refused = [](const formats::Result<std::string>& r) {
    return !r && r.error().code == formats::ErrorCode::kUnsupported;
  };
  if (refused(html) != (kind != rtf::Encapsulation::kHtml)) abort();
  if (refused(text) != (kind != rtf::Encapsulation::kText)) abort();
  if (text) rtf::PlainTextToHtml(*text);
  return 0;
}
