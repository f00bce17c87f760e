// Fields carried into a written message from a stored header block (a received
// item's transport headers): written with their own text, and their dates read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace formats::mime {

// "Name: value" with its CR LF for a field taken from a stored block; raw_value is
// everything after the colon, continuation lines included (LF or CR LF).
//
// The text is kept: a value whose lines all fit in 78 characters keeps its own
// line breaks; otherwise it is unfolded and folded again at its own blanks, so
// only line breaks move. Words holding characters that may not stand in a header
// (non-ASCII, controls) become RFC 2047 encoded words, a run of such words one
// encoded text, so no 8-bit byte is written. nullopt when the field cannot be
// written without changing its text: a name that is not a field name, or a word
// too long for any line (998 characters).
std::optional<std::string> FoldCarriedField(std::string_view name, std::string_view raw_value);

// The instant of an RFC 5322 date-time (3.3, obsolete forms included: two-digit
// years, named zones, no seconds, a trailing comment) as Unix seconds; nullopt
// when the text is not one.
std::optional<int64_t> ParseDate(std::string_view text);

}  // namespace formats::mime
