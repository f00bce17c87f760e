#include "formats/common/codepage.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace formats {
namespace {

Bytes AsBytes(const std::string& s) {
  return Bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(Utf16Test, DecodesPairsAndReplacesLoneSurrogates) {
  // "a", U+1F600 as a surrogate pair, a lone high surrogate, "b", then an odd byte.
  const std::string in("a\0\x3D\xD8\x00\xDE\x3D\xD8" "b\0\x41", 11);
  EXPECT_EQ(Utf16LeToUtf8(AsBytes(in)), "a\xF0\x9F\x98\x80\xEF\xBF\xBD" "b");
}

TEST(CodepageTest, DecodesWindowsAndAsianCodepages) {
  EXPECT_EQ(CodepageToUtf8("caf\xE9 \x80", 1252), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(CodepageToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", 1251),
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  // "日本" in Shift_JIS.
  EXPECT_EQ(CodepageToUtf8("\x93\xFA\x96\x7B", 932), "\xE6\x97\xA5\xE6\x9C\xAC");
}

// EUC-JP and ISO-2022-JP, which the Windows build decodes through Shift_JIS: the
// same characters on every system, the standard ones for the JIS X 0208 cells
// where Shift_JIS tables differ, and nothing for cells JIS X 0208 leaves empty.
TEST(CodepageTest, JapaneseMailFormsDecodeAlikeEverywhere) {
  struct Row {
    const char* name;
    std::string bytes;
    uint32_t codepage;
    std::optional<std::string> utf8;
  };
  const Row rows[] = {
      {"euc_jp", "\xC6\xFC\xCB\xDC", 51932, "日本"},
      {"euc_jp_wave_dash_and_minus", "\xA1\xC1\xA1\xDD", 20932, "\xE3\x80\x9C\xE2\x88\x92"},
      {"euc_jp_half_width_katakana", "\x8E\xB1", 51932, "\xEF\xBD\xB1"},
      {"euc_jp_nec_row_13", "\xAD\xA1", 51932, std::nullopt},
      {"euc_jp_cut_off", "\xC6", 51932, std::nullopt},
      {"iso_2022_jp", "a\x1B$B\x46\x7C\x4B\x5C\x1B(B.", 50220, "a日本."},
      {"iso_2022_jp_line_end_keeps_the_set", "\x1B$B\x46\x7C\n\x4B\x5C\x1B(B", 50222, "日\n本"},
      {"iso_2022_jp_cent_and_roman", "\x1B$@\x21\x71\x1B(J\x5C\x7E\x1B(B\x5C", 50221, "\xC2\xA2\xC2\xA5\xE2\x80\xBE\\"},
      {"iso_2022_jp_eight_bit", "a\xA4", 50220, std::nullopt},
      {"iso_2022_jp_odd_half", "\x1B$B\x46", 50220, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CodepageToUtf8(row.bytes, row.codepage), row.utf8);
  }
  EXPECT_EQ(DecodeLenient("A\xAD\xA1", 51932), "A\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(CodepageTest, StrictRejectsWhatLenientRepairs) {
  EXPECT_FALSE(CodepageToUtf8("\xFF\xFE", 65001).has_value());
  EXPECT_FALSE(CodepageToUtf8("abc", 424242).has_value());
  // Unknown code page falls back to 1252.
  EXPECT_EQ(DecodeLenient("\xE9", 424242), "\xC3\xA9");
  // Bytes that are valid UTF-8 under a wrong label (here US-ASCII) stay UTF-8.
  EXPECT_EQ(DecodeLenient("\xC3\xA9", 20127), "\xC3\xA9");
  // Bytes the code page leaves undefined, and 8-bit bytes in US-ASCII.
  EXPECT_FALSE(CodepageToUtf8("a\x81", 1252).has_value());
  EXPECT_EQ(DecodeLenient("\xE9\x81", 1252), "\xC3\xA9\xEF\xBF\xBD");
  EXPECT_FALSE(CodepageToUtf8("\xE9", 20127).has_value());
  // Cut-off Shift_JIS lead byte: kept text plus a replacement character.
  EXPECT_EQ(DecodeLenient("A\x93", 932), "A\xEF\xBF\xBD");
}

TEST(CodepageTest, CharsetLabelsAndLocales) {
  EXPECT_EQ(CodepageFromCharsetName(" Shift_JIS "), 932u);
  EXPECT_EQ(CodepageFromCharsetName("UTF-8"), 65001u);
  EXPECT_FALSE(CodepageFromCharsetName("x-unknown").has_value());
  EXPECT_EQ(LcidToAnsiCodepage(0x0411), 932u);   // Japanese
  EXPECT_EQ(LcidToAnsiCodepage(0x0419), 1251u);  // Russian
  EXPECT_EQ(LcidToAnsiCodepage(0x0404), 950u);   // Chinese (Taiwan)
  EXPECT_EQ(LcidToAnsiCodepage(0x0804), 936u);   // Chinese (PRC)
  EXPECT_EQ(LcidToAnsiCodepage(0x0000), 0u);
}

}  // namespace
}  // namespace formats
