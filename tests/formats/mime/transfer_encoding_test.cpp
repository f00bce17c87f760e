#include "formats/mime/transfer_encoding.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/formats/mime/mime_test_util.h"

namespace formats::mime {
namespace {

TEST(TransferEncodingTest, ChoiceFollowsTheBytes) {
  struct Row {
    const char* fault;
    std::string body;
    bool is_text;
    TransferEncoding expected;
  } rows[] = {
      {"short ASCII lines stay 7bit", "Hello\r\nWorld\r\n", true, TransferEncoding::k7bit},
      {"8-bit text needs QP", "Caf\xc3\xa9 au lait, nothing else to see here\r\n", true, TransferEncoding::kQuotedPrintable},
      {"mostly 8-bit text is base64", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", true, TransferEncoding::kBase64},
      {"a NUL is not 7bit", std::string("a\0b", 3) + std::string(40, 'x'), true, TransferEncoding::kQuotedPrintable},
      {"a bare CR is not 7bit", "a\rb" + std::string(40, 'x'), true, TransferEncoding::kQuotedPrintable},
      {"a bare LF is not 7bit", "a\nb" + std::string(40, 'x'), true, TransferEncoding::kQuotedPrintable},
      {"a line over 78 is not 7bit", std::string(79, 'x'), true, TransferEncoding::kQuotedPrintable},
      {"a line of exactly 78 is 7bit", std::string(78, 'x') + "\r\n", true, TransferEncoding::k7bit},
      {"binary is always base64", "plain ascii", false, TransferEncoding::kBase64},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ChooseTransferEncoding(ScanBody(r.body), r.is_text), r.expected) << r.fault;
  }
}

TEST(QuotedPrintableTest, KnownOutputs) {
  struct Row {
    const char* fault;
    std::string in, out;
  } rows[] = {
      {"escapes, and trailing space at the end", "Caf\xc3\xa9 = 5\xe2\x82\xac  ", "Caf=C3=A9 =3D 5=E2=82=AC =20"},
      {"space before a hard break is escaped", "a \r\nb\t\r\n", "a=20\r\nb=09\r\n"},
      {"bare line ends are escaped", "a\rb\nc", "a=0Db=0Ac"},
      {"long lines get soft breaks at 76", std::string(80, 'x'),
       std::string(75, 'x') + "=\r\n" + std::string(5, 'x')},
      {"an escape is never split", std::string(74, 'x') + "\xff",
       std::string(74, 'x') + "=\r\n=FF"},
  };
  for (const Row& r : rows) EXPECT_EQ(EncodeQuotedPrintable(r.in), r.out) << r.fault;
}

TEST(QuotedPrintableTest, RandomTextRoundTripsWithinLineLimit) {
  std::mt19937 rng(7);
  const std::string alphabet = std::string("abc =\t\r\n.") + "\xc3\xa9" + std::string(1, '\0') + "\xff";
  for (int round = 0; round < 300; ++round) {
    std::string in;
    const size_t n = rng() % 400;
    for (size_t i = 0; i < n; ++i) in += alphabet[rng() % alphabet.size()];
    const std::string out = EncodeQuotedPrintable(in);
    EXPECT_EQ(mime_test::DecodeQuotedPrintable(out), in);
    size_t start = 0;
    while (start <= out.size()) {
      size_t end = out.find("\r\n", start);
      if (end == std::string::npos) end = out.size();
      const std::string_view line(out.data() + start, end - start);
      EXPECT_LE(line.size(), 76u);
      EXPECT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t')) << "trailing blank";
      for (char c : line) EXPECT_TRUE(c == '\t' || (c >= 32 && c < 127)) << "raw byte in output";
      start = end + 2;
    }
  }
}

TEST(NormalizeLineEndsTest, AllFormsBecomeCrLf) {
  EXPECT_EQ(NormalizeLineEnds("a\rb\nc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
}

}  // namespace
}  // namespace formats::mime
