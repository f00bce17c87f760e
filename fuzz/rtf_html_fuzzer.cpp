// RTF to HTML: any bytes, with the output bound the renderer promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view rtf(reinterpret_cast<const char*>(data), size);
  formats::rtf::RtfRenderOptions options;
  options.placeholders = {"<img src=\"cid:a\">", "", "<img src=\"cid:b\">"};
  formats::Result<formats::rtf::RenderedRtf> out = formats::rtf::RtfToHtml(rtf, options);
  if (!out) return 0;
  if (out->html.size() > formats::limits::kMaxRtfHtmlBytes) abort();
  size_t picture_bytes = 0;
  for (const formats::rtf::RtfPicture& p : out->pictures) picture_bytes += p.data.size();
  if (picture_bytes > size) abort();
  return 0;
}
