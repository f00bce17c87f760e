// Code pages through the C library's iconv (glibc's tables).
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "formats/common/codepage.h"
#include "formats/common/codepage_p.h"

namespace formats {

std::optional<std::string> SystemDecode(std::string_view bytes, uint32_t codepage, bool strict) {
  const char* from = CodepageCharsetName(codepage);
  if (from == nullptr) return std::nullopt;
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2 + 16);
  std::vector<char> buffer(16384);
  char* in_ptr = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  bool ok = true;
  while (true) {
    char* out_ptr = buffer.data();
    size_t out_left = buffer.size();
    size_t rc = in_left > 0 ? iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left)
                            : iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
    out.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<size_t>(-1)) {
      if (in_left == 0) {
        // Always flush: stateful decoders (Windows-1255, -1258 and the ISO-2022
        // family) hold back the last character until told the input has ended.
        out_ptr = buffer.data();
        out_left = buffer.size();
        iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
        out.append(buffer.data(), buffer.size() - out_left);
        break;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a sequence cut off at the end).
    if (strict) {
      ok = false;
      break;
    }
    AppendUtf8(out, 0xFFFD);
    ++in_ptr;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace formats
