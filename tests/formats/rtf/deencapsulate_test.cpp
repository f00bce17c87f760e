#include <gtest/gtest.h>

#include <string>

#include "formats/rtf/rtf.h"

namespace formats::rtf {
namespace {

struct Case {
  const char* name;
  std::string rtf;
  std::string expected;
};

std::string CaseName(const testing::TestParamInfo<Case>& info) { return info.param.name; }

class ExtractHtmlTest : public testing::TestWithParam<Case> {};

TEST_P(ExtractHtmlTest, RecoversTheHtml) {
  auto html = ExtractHtml(GetParam().rtf);
  ASSERT_TRUE(html.ok()) << html.error().detail;
  EXPECT_EQ(*html, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, ExtractHtmlTest,
    testing::Values(
        Case{"TagsTextAndHtmlrtfSpan",
             "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\*\\htmltag <p>}Caf\\'e9 \\htmlrtf X\\htmlrtf0 ok{\\*\\htmltag "
             "</p>}}",
             "<p>Caf\xC3\xA9 ok</p>"},
        Case{"HtmlrtfRestoredAtGroupEnd", "{\\rtf1\\ansi\\fromhtml1 {\\htmlrtf A}B}", "B"},
        Case{"ParAndTabInText", "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <pre>}a\\tab b\\par c{\\*\\htmltag </pre>}}",
             "<pre>a\tb\r\nc</pre>"},
        Case{"ParInsideHtmltag", "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag241 <!--\\par x-->}}", "<!--\r\nx-->"},
        Case{"HtmltagParameterTextKept", "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag84 <a href=\"http://x/?a=1&b=2\">}}",
             "<a href=\"http://x/?a=1&b=2\">"},
        // The space after the parameter is needed only before a digit.
        Case{"HtmltagWithoutSpace", "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag84<br>}{\\*\\htmltag 1}}", "<br>1"},
        Case{"UnicodeSkipsFallback", "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\uc1 x\\u8364?y}", "x\xE2\x82\xACy"},
        Case{"SurrogatePairJoined", "{\\rtf1\\ansi\\fromhtml1 \\uc1 \\u-10179?\\u-8704?}", "\xF0\x9F\x98\x80"},
        Case{"LoneSurrogateReplaced", "{\\rtf1\\ansi\\fromhtml1 \\uc0 \\u-10179 a}", "\xEF\xBF\xBD" "a"},
        Case{"Uc0SkipsNothing", "{\\rtf1\\ansi\\fromhtml1 \\uc0\\u8364 x}", "\xE2\x82\xAC" "x"},
        Case{"Uc2SkipsTwoHexEscapes", "{\\rtf1\\ansi\\fromhtml1 \\uc2\\u8364\\'80\\'80y}", "\xE2\x82\xAC" "y"},
        Case{"SkipStopsAtGroupEnd", "{\\rtf1\\ansi\\fromhtml1 \\uc3 {\\u8364}z}", "\xE2\x82\xAC" "z"},
        Case{"UcIsGroupScoped", "{\\rtf1\\ansi\\fromhtml1 {\\uc2 \\u8364 ab}\\u8364 cd}",
             "\xE2\x82\xAC\xE2\x82\xAC" "d"},
        Case{"MhtmltagSkippedHtmltagUsed",
             "{\\rtf1\\ansi\\fromhtml1 {\\*\\mhtmltag84 <img src=\"cid:x\">}{\\*\\htmltag84 <img src=\"x.png\">}}",
             "<img src=\"x.png\">"},
        Case{"HtmltagDecodedInDocumentCodepage",
             "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 {\\*\\htmltag <title>\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 "
             "\\{\\}</title>}}",
             "<title>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 {}</title>"},
        Case{"TextDecodedInFontCodepage",
             "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fswiss\\fcharset204 Arial "
             "Cyr;}}\\f1 \\'c0\\f0 \\'c0}",
             "\xD0\x90\xC3\x80"},
        Case{"FontTrackedInsideHtmlrtf",
             "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\fonttbl{\\f1\\fcharset204 Arial Cyr;}}\\htmlrtf \\f1 "
             "\\htmlrtf0 \\'c0}",
             "\xD0\x90"},
        Case{"EmptyHtmltagAndFormattingSpan",
             "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\*\\htmltag64}{\\*\\htmltag <b>}{\\htmlrtf \\b \\htmlrtf0 "
             "bold}{\\*\\htmltag </b>}}",
             "<b>bold</b>"},
        // Double-byte characters whose two bytes come as separate escapes, and
        // one whose trail byte is plain text ("A" after \'83).
        Case{"ShiftJisSplitOverEscapes",
             "{\\rtf1\\ansi\\ansicpg932\\fromhtml1 {\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 "
             "\\'93\\'fa\\'96\\'7b\\'83A}",
             "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x82\xA2"},
        Case{"SymbolWords", "{\\rtf1\\ansi\\fromhtml1 \\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash}",
             "\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2\xE2\x80\x93\xE2\x80\x94"},
        Case{"EscapedCharacters", "{\\rtf1\\ansi\\fromhtml1 \\{a\\}\\\\\\~b}", "{a}\\\xC2\xA0" "b"},
        // An htmltag group inside an \htmlrtf span is RTF-only content too.
        Case{"HtmltagInsideHtmlrtfDropped", "{\\rtf1\\ansi\\fromhtml1 \\htmlrtf {\\*\\htmltag <x>}\\htmlrtf0 y}", "y"},
        // List numbering text is the RTF renderer's own bullet: <li> draws one.
        Case{"ListNumberingTextDropped",
             "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <ul>}{\\*\\htmltag <li>}{\\pntext *\\tab}Max 20{\\*\\htmltag "
             "</li>}{\\*\\htmltag <li>}{\\listtext\\f1 \\'b7\\tab}{\\*\\htmltag <!--n-->}Two}",
             "<ul><li>Max 20</li><li><!--n-->Two"},
        Case{"HtmltagInsideListTextKept", "{\\rtf1\\ansi\\fromhtml1 {\\pntext 1.{\\*\\htmltag <b>}\\tab}x}", "<b>x"},
        Case{"HeaderDestinationsSkipped",
             "{\\rtf1\\ansi\\fromhtml1 {\\colortbl;\\red1\\green2\\blue3;}{\\stylesheet{\\s0 Normal;}}"
             "{\\info{\\title T}}{\\*\\generator G;}x}",
             "x"},
        Case{"FieldInstructionSkippedResultKept",
             "{\\rtf1\\ansi\\fromhtml1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt r}}}", "r"},
        Case{"PictureDataSkipped", "{\\rtf1\\ansi\\fromhtml1 a{\\pict\\pngblip 89504e47}b}", "ab"},
        Case{"BinaryDataSkipped", "{\\rtf1\\ansi\\fromhtml1 a\\bin3 {}\\b}", "ab"},
        Case{"CrLfInSourceIgnored", "{\\rtf1\\ansi\\fromhtml1 a\r\nb\\par\r\n}", "ab\r\n"},
        Case{"ExtraCloseBraceEndsDocument", "{\\rtf1\\ansi\\fromhtml1 a}b}", "a"},
        Case{"UnclosedGroupsEndWithInput", "{\\rtf1\\ansi\\fromhtml1 {{a", "a"}),
    CaseName);

class ExtractTextTest : public testing::TestWithParam<Case> {};

TEST_P(ExtractTextTest, RecoversTheText) {
  auto text = ExtractText(GetParam().rtf);
  ASSERT_TRUE(text.ok()) << text.error().detail;
  EXPECT_EQ(*text, GetParam().expected);
}

std::string FontText(int charset, const std::string& escapes) {
  return "{\\rtf1\\ansi\\ansicpg1252\\fromtext {\\fonttbl{\\f0\\fcharset" + std::to_string(charset) + " F;}}\\f0 " +
         escapes + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, ExtractTextTest,
    testing::Values(
        Case{"LinesAndTabs",
             "{\\rtf1\\ansi\\ansicpg1252\\fromtext \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0 Line one\\par "
             "Line\\tab two\\par }",
             "Line one\r\nLine\ttwo\r\n"},
        Case{"LineBreak", "{\\rtf1\\ansi\\fromtext a\\line b}", "a\r\nb"},
        Case{"DefaultFontCodepage",
             "{\\rtf1\\ansi\\ansicpg1252\\fromtext \\deff1{\\fonttbl{\\f1\\fcharset204 Cyr;}}\\'c0}", "\xD0\x90"},
        Case{"CpgOverridesCharset",
             "{\\rtf1\\ansi\\fromtext {\\fonttbl{\\f0\\fcharset0\\cpg1253 G;}}\\f0 \\'e1}", "\xCE\xB1"},
        Case{"PlainReturnsToDefaultFont",
             "{\\rtf1\\ansi\\fromtext \\deff0{\\fonttbl{\\f0\\fcharset204 C;}{\\f1\\fcharset0 W;}}"
             "\\f1 \\'c0\\plain \\'c0}",
             "\xC3\x80\xD0\x90"},
        Case{"Ansicpg1200ReadAs1252", "{\\rtf1\\ansi\\ansicpg1200\\fromtext \\'e9}", "\xC3\xA9"},
        Case{"CharsetDefaultUsesAnsicpg",
             "{\\rtf1\\ansi\\ansicpg1251\\fromtext {\\fonttbl{\\f0\\fcharset1 F;}}\\f0 \\'e9}", "\xD0\xB9"},
        // One row per \fcharset value of the table, each with a letter of its script.
        Case{"Charset0Western", FontText(0, "\\'e9"), "\xC3\xA9"},
        Case{"Charset128Japanese", FontText(128, "\\'82\\'a0"), "\xE3\x81\x82"},
        Case{"Charset129Korean", FontText(129, "\\'b0\\'a1"), "\xEA\xB0\x80"},
        Case{"Charset134Chinese", FontText(134, "\\'c4\\'e3"), "\xE4\xBD\xA0"},
        Case{"Charset136Big5", FontText(136, "\\'a7\\'41"), "\xE4\xBD\xA0"},
        Case{"Charset161Greek", FontText(161, "\\'e1"), "\xCE\xB1"},
        Case{"Charset162Turkish", FontText(162, "\\'fd"), "\xC4\xB1"},
        Case{"Charset163Vietnamese", FontText(163, "\\'f5"), "\xC6\xA1"},
        Case{"Charset177Hebrew", FontText(177, "\\'e0"), "\xD7\x90"},
        Case{"Charset178Arabic", FontText(178, "\\'c7"), "\xD8\xA7"},
        Case{"Charset186Baltic", FontText(186, "\\'e0"), "\xC4\x85"},
        Case{"Charset204Cyrillic", FontText(204, "\\'c0"), "\xD0\x90"},
        Case{"Charset222Thai", FontText(222, "\\'a1"), "\xE0\xB8\x81"},
        Case{"Charset238CentralEuropean", FontText(238, "\\'b9"), "\xC4\x85"},
        Case{"Charset2SymbolBullet", FontText(2, "\\'b7"), "\xE2\x80\xA2"}),
    CaseName);

TEST(DetectEncapsulationTest, ReadsOnlyTheHeader) {
  struct Row {
    std::string rtf;
    Encapsulation expected;
  };
  const Row rows[] = {
      {"{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl}", Encapsulation::kHtml},
      {"{\\rtf1\\ansi\\ansicpg1252\\fromtext \\deff0", Encapsulation::kText},
      {"{\\rtf1\\ansi\\deff0 hello}", Encapsulation::kNone},
      // Text before the marker: the marker is part of the body.
      {"{\\rtf1\\ansi hello\\fromhtml1 x}", Encapsulation::kNone},
      // Only the exact word with parameter 1 counts.
      {"{\\rtf1\\ansi\\fromhtml x}", Encapsulation::kNone},
      {"{\\rtf1\\ansi\\fromhtml0 x}", Encapsulation::kNone},
      // Nine tokens before it: the marker is the eleventh, too late.
      {"{\\rtf1\\a\\b\\c\\d\\e\\f\\g\\h\\i\\fromhtml1 x}", Encapsulation::kNone},
      {"{\\rtf1\\a\\b\\c\\d\\e\\f\\g\\fromhtml1 x}", Encapsulation::kHtml},
      {"\\fromhtml1", Encapsulation::kNone},
      {"", Encapsulation::kNone},
  };
  for (const Row& row : rows) EXPECT_EQ(DetectEncapsulation(row.rtf), row.expected) << row.rtf;
}

TEST(ExtractTest, RefusesTheWrongEncapsulation) {
  auto html = ExtractHtml("{\\rtf1\\ansi\\fromtext x}");
  ASSERT_FALSE(html.ok());
  EXPECT_EQ(html.error().code, ErrorCode::kUnsupported);
  auto text = ExtractText("{\\rtf1\\ansi\\fromhtml1 x}");
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.error().code, ErrorCode::kUnsupported);
  EXPECT_FALSE(ExtractHtml("{\\rtf1\\ansi plain}").ok());
}

TEST(ExtractTest, DeepNestingAndHugeBinAreBounded) {
  std::string rtf = "{\\rtf1\\ansi\\fromhtml1 ";
  rtf += std::string(200000, '{') + "deep" + std::string(200000, '}') + "after";
  auto html = ExtractHtml(rtf);
  ASSERT_TRUE(html.ok());
  EXPECT_EQ(*html, "deepafter");

  // A \bin length far beyond the input takes what is there and ends the text.
  auto bin = ExtractHtml("{\\rtf1\\ansi\\fromhtml1 a\\bin4000000000 xyz}");
  ASSERT_TRUE(bin.ok());
  EXPECT_EQ(*bin, "a");
}

}  // namespace
}  // namespace formats::rtf
