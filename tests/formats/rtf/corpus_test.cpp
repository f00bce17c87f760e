// Compressed RTF bodies taken from real .msg files of the shared corpus (the
// PidTagRtfCompressed stream as stored), checked against what those messages
// hold as their plain-text body.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/common/codepage.h"
#include "formats/rtf/rtf.h"

namespace formats::rtf {
namespace {

std::vector<uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/rtf/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DecompressFixture(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadFixture(name);
  auto rtf = Decompress(Bytes(bytes.data(), bytes.size()));
  EXPECT_TRUE(rtf.ok()) << name << ": " << (rtf.ok() ? "" : rtf.error().detail);
  return rtf.ok() ? *rtf : std::string();
}

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

struct CorpusCase {
  const char* fixture;
  Encapsulation encapsulation;
  std::vector<std::string> expected;  // pieces the result must contain
};

class CorpusTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusTest, DecompressesAndConverts) {
  const CorpusCase& c = GetParam();
  const std::string rtf = DecompressFixture(c.fixture);
  ASSERT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << c.fixture;
  ASSERT_EQ(DetectEncapsulation(rtf), c.encapsulation);
  std::string result;
  if (c.encapsulation == Encapsulation::kHtml) {
    auto html = ExtractHtml(rtf);
    ASSERT_TRUE(html.ok());
    result = *html;
    // Every tag the writer kept comes back once; none of the RTF leaks.
    EXPECT_EQ(Count(result, "<html"), 1u);
    EXPECT_EQ(Count(result, "</html>"), 1u);
    EXPECT_EQ(result.find("\\htmlrtf"), std::string::npos);
    EXPECT_EQ(result.find("\\par"), std::string::npos);
  } else if (c.encapsulation == Encapsulation::kText) {
    auto text = ExtractText(rtf);
    ASSERT_TRUE(text.ok());
    result = *text;
  } else {
    auto html = RtfToHtml(rtf);
    ASSERT_TRUE(html.ok());
    result = html->html;
  }
  EXPECT_TRUE(IsValidUtf8(result));
  for (const std::string& piece : c.expected) EXPECT_NE(result.find(piece), std::string::npos) << piece;
  // Every RTF body also renders as HTML, encapsulating or not.
  auto rendered = RtfToHtml(rtf);
  ASSERT_TRUE(rendered.ok());
  EXPECT_TRUE(IsValidUtf8(rendered->html));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CorpusTest,
    testing::Values(
        // Plain text sent as \fromtext: exactly the message's text body.
        CorpusCase{"perl_html_unsent.lzfu", Encapsulation::kText,
                   {"This is a test\r\nThe body is in plain text\r\n"}},
        // Japanese in a \fcharset128 font inside \htmlrtf: the lead byte 0x90
        // with the trail byte 0x5C ("\\") escaped, under \ansicpg1252.
        CorpusCase{"js_many_entities_ja_text.lzfu", Encapsulation::kText,
                   {"申請が最終承認されました。確認をお願いいたします。\r\n\r\nhttp://localhost:5257/\r\n"}},
        // RTF written by the rich edit control: two fonts, \par.
        CorpusCase{"perl_rtf_unsent.lzfu", Encapsulation::kNone,
                   {"<div><span style=\"font-family:'Arial',sans-serif;font-size:10pt;\">This is a test</span></div>\r\n"
                    "<div><span style=\"font-family:'Arial',sans-serif;font-size:10pt;\">The body is in rich text</span>"
                    "</div>\r\n<div><br></div>"}},
        // Word RTF with curly quotes and dashes as \'hh in 1252.
        CorpusCase{"net_rtf_sample.lzfu", Encapsulation::kNone,
                   {"BOOK ONE: 1805", "CHAPTER I",
                    "\xE2\x80\x9CWell, Prince, so Genoa and Lucca are now just family estates of the"}},
        // HTML in 1251 with Cyrillic text and guillemets.
        CorpusCase{"net_short_russian_html.lzfu", Encapsulation::kHtml,
                   {"\xD0\xB2\xD0\xB2\xD0\xB5\xD1\x81\xD1\x82\xD0\xB8", "\xC2\xAB\xD0\x98\xD0\xBC\xD1\x8F",
                    "<head>"}},
        // HTML under \ansicpg932 with Chinese, Japanese and Korean text.
        CorpusCase{"js_hello_cjk_html.lzfu", Encapsulation::kHtml,
                   {"Hello", "\xE4\xBD\xA0\xE5\xA5\xBD", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF",
                    "\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94"}},
        // HTML links kept as the writer had them.
        CorpusCase{"js_html_link.lzfu", Encapsulation::kHtml,
                   {"href=\"https://google.com/\"", "href=\"mailto:test@example.com\""}}),
    [](const testing::TestParamInfo<CorpusCase>& info) {
      std::string name = info.param.fixture;
      name = name.substr(0, name.find('.'));
      return name;
    });

TEST(CorpusTest, CorruptedFixtureFailsItsCrc) {
  std::vector<uint8_t> bytes = ReadFixture("net_rtf_sample.lzfu");
  ASSERT_GT(bytes.size(), 1000u);
  bytes[1000] ^= 0x40;
  auto rtf = Decompress(Bytes(bytes.data(), bytes.size()));
  ASSERT_FALSE(rtf.ok());
  EXPECT_EQ(rtf.error().code, ErrorCode::kBadCrc);
  // Cut short: the data no longer covers what the header promises.
  bytes = ReadFixture("net_rtf_sample.lzfu");
  bytes.resize(bytes.size() / 2);
  rtf = Decompress(Bytes(bytes.data(), bytes.size()));
  ASSERT_FALSE(rtf.ok());
  EXPECT_EQ(rtf.error().code, ErrorCode::kTruncated);
}

}  // namespace
}  // namespace formats::rtf
