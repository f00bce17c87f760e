// Text decoding shared by the .msg reader and the RTF code: UTF-16LE and Windows
// code pages into UTF-8. Code pages go through the system: the C library's
// iconv, or Windows' own tables (codepage_p.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/common/byte_reader.h"
#include "formats/common/utf8.h"

namespace formats {

// UTF-16LE to UTF-8. Unpaired surrogates become U+FFFD; an odd trailing byte is dropped.
std::string Utf16LeToUtf8(Bytes bytes);

// iconv's name for a Windows code page number ("WINDOWS-1252", "CP932", "UTF-8", ...),
// or nullptr when we know no name for it.
const char* CodepageCharsetName(uint32_t codepage);

// Code page number of a MIME / HTML charset label ("utf-8", "iso-8859-1",
// "shift_jis", "windows-1251", ...), compared without regard to case.
std::optional<uint32_t> CodepageFromCharsetName(std::string_view label);

// Default ANSI code page of a Windows locale id (LCID), 0 when unknown.
uint32_t LcidToAnsiCodepage(uint32_t lcid);

// The language tag ("en-US", RFC 5646) of a Windows locale id, as [MS-LCID]
// 2.2 pairs them, for the locales of the languages Outlook is sold in and their
// common regional forms; the sort id is ignored. nullptr for any other id, and
// for the neutral, default and custom ids, which name no language.
const char* LcidToLanguageTag(uint32_t lcid);

// Decodes 8-bit text in a code page strictly: nullopt when the code page is not
// known or the bytes are not valid in it.
std::optional<std::string> CodepageToUtf8(std::string_view bytes, uint32_t codepage);

// Decodes never failing: UTF-8 stays as is when valid, unknown code pages fall back
// to 1252, undecodable bytes become U+FFFD.
std::string DecodeLenient(std::string_view bytes, uint32_t codepage);

}  // namespace formats
