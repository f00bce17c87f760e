// UTF-8, one character at a time: the single decoder behind every place that reads
// UTF-8 text (code pages, compound file names, HTML text, header words, file names
// and Windows' UTF-16 at the system's edge), and the matching encoder. Standard
// C++ only, in a library of its own (formats_text) so that the window's layers
// can use it without the converter core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace formats {

// Surrogate code points (U+D800..U+DFFF) are not characters, so their three-byte
// forms are not UTF-8. Windows file names may still hold unpaired ones, which the
// tool carries in exactly those three bytes (as WTF-8 does); kAllowed accepts them.
enum class Surrogates { kInvalid, kAllowed };

struct Utf8Char {
  char32_t code_point = 0;
  size_t length = 0;  // bytes the character takes; 0 when there is no valid one
};

// Decodes the character that starts at text[pos] (pos < text.size()). Length 0
// when text[pos] starts none: a continuation byte or a byte that never leads, a
// sequence cut off by the end of text or by a byte that does not continue it, an
// overlong form, a value beyond U+10FFFF, or a surrogate unless allowed.
Utf8Char DecodeUtf8At(std::string_view text, size_t pos, Surrogates surrogates = Surrogates::kInvalid);

// True when all of text decodes with surrogates invalid.
bool IsValidUtf8(std::string_view text);

// Appends one code point as UTF-8 (surrogates and values above U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace formats
