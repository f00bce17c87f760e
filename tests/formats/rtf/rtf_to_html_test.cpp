#include <gtest/gtest.h>

#include <string>

#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"

namespace formats::rtf {
namespace {

constexpr std::string_view kHead =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n</head>\r\n<body>\r\n";
constexpr std::string_view kTail = "</body>\r\n</html>\r\n";

// The body of the rendered document, with the fixed head and tail checked, and
// a line per picture part: "#type name content-id shown|attached bytes".
std::string Body(std::string_view rtf, const RtfRenderOptions& options = {}) {
  auto html = RtfToHtml(rtf, options);
  if (!html.ok()) return "error: " + html.error().detail;
  const std::string& doc = html->html;
  EXPECT_TRUE(IsValidUtf8(doc));
  if (doc.size() < kHead.size() + kTail.size() || doc.compare(0, kHead.size(), kHead) != 0 ||
      doc.compare(doc.size() - kTail.size(), kTail.size(), kTail) != 0)
    return "bad frame: " + doc;
  std::string out = doc.substr(kHead.size(), doc.size() - kHead.size() - kTail.size());
  for (const RtfPicture& p : html->pictures) {
    out += "#" + p.media_type + " " + p.name + " " + p.content_id + (p.shown ? " shown " : " attached ") +
           std::to_string(p.data.size());
  }
  return out;
}

struct Case {
  const char* name;
  std::string rtf;
  std::string body;
};

class RtfToHtmlTest : public testing::TestWithParam<Case> {};

TEST_P(RtfToHtmlTest, RendersBody) { EXPECT_EQ(Body(GetParam().rtf), GetParam().body); }

INSTANTIATE_TEST_SUITE_P(
    Constructs, RtfToHtmlTest,
    testing::Values(
        Case{"ParagraphsAndBlankLine", "{\\rtf1\\ansi a\\par\\par b\\par}",
             "<div>a</div>\r\n<div><br></div>\r\n<div>b</div>\r\n"},
        Case{"LineBreak", "{\\rtf1\\ansi a\\line b}", "<div>a<br>b</div>\r\n"},
        Case{"BoldItalicUnderlineStrike", "{\\rtf1\\ansi {\\b B}{\\i I}{\\ul U}{\\strike S}\\b x\\b0 y}",
             "<div><b>B</b><i>I</i><u>U</u><s>S</s><b>x</b>y</div>\r\n"},
        Case{"NestedToggles", "{\\rtf1\\ansi \\b a{\\i b}\\plain c}", "<div><b>a</b><b><i>b</i></b>c</div>\r\n"},
        Case{"SuperAndSubscript", "{\\rtf1\\ansi x{\\super 2}{\\sub i}}", "<div>x<sup>2</sup><sub>i</sub></div>\r\n"},
        Case{"FontSizeAndColour",
             "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\fs20\\cf1 red\\cf2\\fs21 "
             "blue\\cf0\\fs24 plain}",
             "<div><span style=\"font-size:10pt;color:#ff0000;\">red</span>"
             "<span style=\"font-size:10.5pt;color:#0000ff;\">blue</span>plain</div>\r\n"},
        Case{"AutomaticColourAndBadIndexIgnored", "{\\rtf1\\ansi{\\colortbl;\\red1\\green2\\blue3;}\\cf0 a\\cf9 b}",
             "<div>ab</div>\r\n"},
        Case{"Highlight", "{\\rtf1\\ansi{\\colortbl;\\red255\\green255\\blue0;}{\\highlight1 h}}",
             "<div><span style=\"background-color:#ffff00;\">h</span></div>\r\n"},
        Case{"HtmlEscaped", "{\\rtf1\\ansi <a href=\"x\">&amp;</a>}",
             "<div>&lt;a href=&quot;x&quot;&gt;&amp;amp;&lt;/a&gt;</div>\r\n"},
        Case{"RunsOfSpacesKept", "{\\rtf1\\ansi  a   b}", "<div>&nbsp;a &nbsp;&nbsp;b</div>\r\n"},
        Case{"Tab", "{\\rtf1\\ansi a\\tab b}", "<div>a<span style=\"white-space:pre\">\t</span>b</div>\r\n"},
        Case{"Alignment", "{\\rtf1\\ansi\\qc c\\par\\pard\\qr r\\par\\pard l}",
             "<div style=\"text-align:center;\">c</div>\r\n<div style=\"text-align:right;\">r</div>\r\n"
             "<div>l</div>\r\n"},
        Case{"HiddenTextDropped", "{\\rtf1\\ansi a{\\v secret}b}", "<div>ab</div>\r\n"},
        Case{"Hyperlink",
             "{\\rtf1\\ansi see {\\field{\\*\\fldinst{HYPERLINK \"http://example.com/?a=1&b=2\"}}{\\fldrslt{\\ul "
             "site}}} now}",
             "<div>see <a href=\"http://example.com/?a=1&amp;b=2\"><u>site</u></a> now</div>\r\n"},
        Case{"HyperlinkWithAnchorAndTooltip",
             "{\\rtf1\\ansi {\\field{\\*\\fldinst HYPERLINK \"http://x/\" \\\\l \"top\" \\\\o \"tip\"}{\\fldrslt "
             "t}}}",
             "<div><a href=\"http://x/#top\">t</a></div>\r\n"},
        Case{"ScriptLinkNotLinked",
             "{\\rtf1\\ansi {\\field{\\*\\fldinst HYPERLINK \"javascript:alert(1)\"}{\\fldrslt t}}}",
             "<div>t</div>\r\n"},
        Case{"OtherFieldShowsResult", "{\\rtf1\\ansi {\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}}", "<div>3</div>\r\n"},
        Case{"Table",
             "{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\par c\\cell\\row\\pard after}",
             "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">\r\n"
             "<tr><td>a</td><td>b<br>c</td></tr>\r\n</table>\r\n<div>after</div>\r\n"},
        Case{"EmptyCells", "{\\rtf1\\ansi\\trowd\\pard\\intbl\\cell x\\cell\\row}",
             "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">\r\n"
             "<tr><td></td><td>x</td></tr>\r\n</table>\r\n"},
        Case{"BulletedListWithoutItsMarkerText",
             "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}{\\*\\listtable{\\list x}}"
             "{\\listtext\\f1 \\'b7\\tab}\\f0 item\\par}",
             "<ul><li><span style=\"font-family:'Arial';\">item</span></li>\r\n</ul>\r\n"},
        Case{"NumberedListKeepsItsNumbers",
             "{\\rtf1\\ansi{\\pntext 3.\\tab}{\\*\\pn\\pnlvlbody{\\pntxta .}}one\\par{\\pntext 4.\\tab}two\\par"
             "\\pard after\\par}",
             "<ol><li value=\"3\">one</li>\r\n<li value=\"4\">two</li>\r\n</ol>\r\n<div>after</div>\r\n"},
        Case{"NestedListsAndLetters",
             "{\\rtf1\\ansi{\\listtext \\'95\\tab}a\\par\\ilvl1{\\listtext b)\\tab}b\\par\\pard{\\listtext \\'95\\tab}c\\par"
             "{\\listtext \\'95\\tab}\\par}",
             "<ul><li>a<ol type=\"a\"><li value=\"2\">b</li>\r\n</ol>\r\n</li>\r\n<li>c</li>\r\n<li></li>\r\n</ul>\r\n"},
        Case{"FontsWithTheirFamilies",
             "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial{\\*\\falt Helv};}"
             "{\\f2\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72;}}a\\f1 b\\f2 c}",
             "<div><span style=\"font-family:'Times New Roman',serif;\">a</span>"
             "<span style=\"font-family:'Arial',sans-serif;\">b</span>c</div>\r\n"},
        Case{"Indents", "{\\rtf1\\ansi\\li720\\fi-360\\ri350 x\\par\\pard y}",
             "<div style=\"margin-left:36pt;margin-right:17.5pt;text-indent:-18pt;\">x</div>\r\n<div>y</div>\r\n"},
        Case{"Cyrillic", "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f1 "
                         "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\f0  caf\\'e9}",
             "<div><span style=\"font-family:'Arial Cyr';\">\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82</span>"
             "<span style=\"font-family:'Arial';\"> caf\xC3\xA9</span></div>\r\n"},
        Case{"JapaneseDbcs", "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f1\\fcharset128 MS Mincho;}}\\f1 "
                             "\\'93\\'fa\\'96\\'7b\\'8c\\'ea}",
             "<div><span style=\"font-family:'MS Mincho';\">\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</span></div>\r\n"},
        Case{"UnicodeUc1AndUc0", "{\\rtf1\\ansi\\uc1\\u1055?\\u1088?{\\uc0\\u1080\\u1074}}",
             "<div>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2</div>\r\n"},
        Case{"SymbolWordsAndEscapes", "{\\rtf1\\ansi \\ldblquote x\\rdblquote\\~\\emdash\\{\\}\\\\}",
             "<div>\xE2\x80\x9Cx\xE2\x80\x9D\xC2\xA0\xE2\x80\x94{}\\</div>\r\n"},
        Case{"HeaderDestinationsSkipped",
             "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s0 Normal;}}{\\info{\\author me}}"
             "{\\*\\generator g;}{\\header H}{\\*\\htmltag <p>}body}",
             "<div>body</div>\r\n"},
        Case{"PngPictureInlined",
             "{\\rtf1\\ansi{\\*\\shppict{\\pict\\pngblip\\picwgoal300\\pichgoal150 89504e47}}"
             "{\\nonshppict{\\pict\\wmetafile8 0102}}}",
             "<div><img src=\"cid:image1.rtf.invalid\" width=\"20\" height=\"10\" alt=\"\"></div>\r\n"
             "#image/png picture1.png image1.rtf.invalid shown 4"},
        Case{"MetafileAttached", "{\\rtf1\\ansi a{\\pict\\wmetafile8 0102}b{\\v{\\pict\\pngblip 01}}}",
             "<div>ab</div>\r\n#image/wmf picture1.wmf image1.rtf.invalid attached 2"},
        Case{"BinaryPictureData", "{\\rtf1\\ansi{\\pict\\jpegblip\\bin3 \xFF\xD8}}",
             "<div><img src=\"cid:image1.rtf.invalid\" alt=\"\"></div>\r\n#image/jpeg picture1.jpg image1.rtf.invalid shown 3"},
        Case{"EmptyDocument", "{\\rtf1\\ansi}", ""},
        Case{"LeadingWhitespaceAccepted", "\r\n {\\rtf1 x}", "<div>x</div>\r\n"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(RtfToHtmlTest, AttachmentPlaceholdersTakeWhatTheCallerGives) {
  RtfRenderOptions options;
  options.placeholders = {"<img src=\"cid:x\">", ""};
  options.cid_suffix = "s@d";
  EXPECT_EQ(Body("{\\rtf1\\ansi a{\\*\\objattph}b\\objattph c\\objattph d{\\pict\\pngblip 01}}", options),
            "<div>a<img src=\"cid:x\">bcd<img src=\"cid:image1.s@d\" alt=\"\"></div>\r\n"
            "#image/png picture1.png image1.s@d shown 1");
}

TEST(RtfToHtmlLimitsTest, RejectsWhatIsNotRtf) {
  auto html = RtfToHtml("hello");
  ASSERT_FALSE(html.ok());
  EXPECT_EQ(html.error().code, ErrorCode::kBadRtf);
}

TEST(RtfToHtmlLimitsTest, DeepNestingIsReadFlat) {
  std::string rtf = "{\\rtf1\\ansi ";
  for (int i = 0; i < 100000; ++i) rtf += "{\\b ";
  rtf += "x";
  rtf += std::string(100000, '}');
  EXPECT_EQ(Body(rtf), "<div><b>x</b></div>\r\n");
}

TEST(RtfToHtmlLimitsTest, HugeBinLengthTakesTheRest) {
  EXPECT_EQ(Body("{\\rtf1\\ansi a{\\bin2147483647 }}b}"), "<div>a</div>\r\n");
  EXPECT_EQ(Body("{\\rtf1\\ansi a\\bin-5 b}"), "<div>ab</div>\r\n");
}

TEST(RtfToHtmlLimitsTest, OversizedInputRefused) {
  std::string rtf = "{\\rtf1 ";
  rtf.resize(limits::kMaxRtfBytes + 1, 'x');
  auto html = RtfToHtml(rtf);
  ASSERT_FALSE(html.ok());
  EXPECT_EQ(html.error().code, ErrorCode::kLimitExceeded);
}

struct PlainCase {
  const char* name;
  std::string text;
  std::string pre;  // what comes between the <pre> line and </pre>
};

class PlainTextToHtmlTest : public testing::TestWithParam<PlainCase> {};

TEST_P(PlainTextToHtmlTest, RendersPre) {
  const std::string html = PlainTextToHtml(GetParam().text);
  const std::string open = std::string(kHead) + "<pre style=\"white-space: pre-wrap; word-wrap: break-word\">\r\n";
  const std::string close = "</pre>\r\n" + std::string(kTail);
  ASSERT_EQ(html.compare(0, open.size(), open), 0) << html;
  ASSERT_GE(html.size(), open.size() + close.size());
  ASSERT_EQ(html.compare(html.size() - close.size(), close.size(), close), 0) << html;
  EXPECT_EQ(html.substr(open.size(), html.size() - open.size() - close.size()), GetParam().pre);
  EXPECT_TRUE(IsValidUtf8(html));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PlainTextToHtmlTest,
    testing::Values(
        PlainCase{"EscapedAndLineEndsNormalised", "a<b> & \"c\"\r\nd\re\nf", "a&lt;b&gt; &amp; &quot;c&quot;\r\nd\r\ne\r\nf"},
        PlainCase{"LeadingBlankLineAndSpacesKept", "\n  x   y", "\r\n  x   y"},
        PlainCase{"Urls", "see http://a.example/x?y=1&z=2. or www.b.example, mail mailto:me@c.example",
                  "see <a href=\"http://a.example/x?y=1&amp;z=2\">http://a.example/x?y=1&amp;z=2</a>. or "
                  "<a href=\"http://www.b.example\">www.b.example</a>, mail "
                  "<a href=\"mailto:me@c.example\">mailto:me@c.example</a>"},
        PlainCase{"UrlWithBalancedParenthesis", "(see https://w.example/A_(b))",
                  "(see <a href=\"https://w.example/A_(b)\">https://w.example/A_(b)</a>)"},
        PlainCase{"SchemeAloneNotLinked", "http:// and xhttp://a", "http:// and xhttp://a"},
        PlainCase{"InvalidUtf8Replaced", "a\xFF" "b\xC3", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
        PlainCase{"ControlCharactersDropped", std::string("a\0b\x07\tc", 6), "ab\tc"},
        PlainCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<PlainCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace formats::rtf
