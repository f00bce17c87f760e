#include "converter_tool/console_text.h"

#include <cstdint>
#include <cstdio>

namespace converter {

namespace {

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are not one (overlong forms and surrogates included).
size_t Utf8Sequence(std::string_view text, size_t i, char32_t& cp) {
  const auto lead = static_cast<uint8_t>(text[i]);
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<uint8_t>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ConsoleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char escape[16];
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += text[i++];
      continue;
    }
    char32_t cp = 0;
    const size_t length = c < 0x80 ? 0 : Utf8Sequence(text, i, cp);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
      out += escape;
      ++i;
      continue;
    }
    if ((cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029) {
      std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(cp));
      out += escape;
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

}  // namespace converter
