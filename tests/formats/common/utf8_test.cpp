#include "formats/common/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace formats {
namespace {

// Every reader of UTF-8 in the program decodes through DecodeUtf8At, so a row
// here guards the file-name order, HTML text, header words and Windows paths at once.
TEST(Utf8Test, DecodesOneCharacterOrNone) {
  struct Row {
    const char* name;
    std::string text;
    char32_t code_point;  // of a valid character; 0 is returned otherwise
    size_t length;        // 0: no character starts at the first byte
    size_t length_with_surrogates;
  } rows[] = {
      {"ascii", "A", U'A', 1, 1},
      {"two bytes", "\xC3\xA9", 0xE9, 2, 2},
      {"three bytes", "\xE2\x82\xAC", 0x20AC, 3, 3},
      {"four bytes", "\xF0\x9F\x98\x80", 0x1F600, 4, 4},
      {"last code point", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4, 4},
      {"overlong slash", "\xC0\xAF", 0, 0, 0},
      {"overlong three-byte", "\xE0\x80\xAF", 0, 0, 0},
      {"overlong four-byte", "\xF0\x82\x82\xAC", 0, 0, 0},
      {"surrogate", "\xED\xA0\x80", 0xD800, 0, 3},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0, 0, 0},
      {"cut off by the end", "\xE2\x82", 0, 0, 0},
      {"cut off by ascii", "\xE2\x82" "A", 0, 0, 0},
      {"stray continuation", "\x80", 0, 0, 0},
      {"never a lead byte", "\xF8\x88\x80\x80\x80", 0, 0, 0},
  };
  for (const Row& r : rows) {
    const Utf8Char strict = DecodeUtf8At(r.text, 0);
    EXPECT_EQ(strict.length, r.length) << r.name;
    EXPECT_EQ(strict.code_point, r.length != 0 ? r.code_point : 0) << r.name;
    const Utf8Char lenient = DecodeUtf8At(r.text, 0, Surrogates::kAllowed);
    EXPECT_EQ(lenient.length, r.length_with_surrogates) << r.name;
    EXPECT_EQ(lenient.code_point, r.length_with_surrogates != 0 ? r.code_point : 0) << r.name;
    EXPECT_EQ(IsValidUtf8(r.text), r.length == r.text.size()) << r.name;
  }
  // A character in the middle, after a longer one.
  EXPECT_EQ(DecodeUtf8At("\xC3\xA9\xE2\x82\xAC", 2).code_point, 0x20ACu);
}

}  // namespace
}  // namespace formats
