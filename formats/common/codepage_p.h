// The system's part of code-page decoding: one implementation per system
// (codepage_iconv.cpp, codepage_windows.cpp), chosen by the build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

// Decodes bytes in a code page of the CodepageCharsetName table into UTF-8.
// strict: nullopt on the first invalid or cut-off sequence; otherwise each
// undecodable byte becomes U+FFFD and decoding goes on. nullopt as well when the
// system has no decoder for the code page.
std::optional<std::string> SystemDecode(std::string_view bytes, uint32_t codepage, bool strict);

}  // namespace formats
