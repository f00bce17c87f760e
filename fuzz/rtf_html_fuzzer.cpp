// RTF to HTML: any bytes, with the output bound the renderer promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  formats::Result<std::string> html = formats::rtf::RtfToHtml(rtf);
  if (html && html->size() > formats::limits::kMaxRtfHtmlBytes) abort();
  return 0;
}
