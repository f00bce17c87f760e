#include "formats/ical/writer.h"

#include <gtest/gtest.h>

namespace formats::ical {
namespace {

// Every physical line of a folded content line is at most 75 octets, starts a
// UTF-8 sequence, and unfolding gives back the line.
std::string Repeat(std::string_view text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

TEST(IcalWriterTest, FoldsAt75OctetsBetweenCharacters) {
  struct Row {
    const char* fault;
    std::string line;
    size_t lines;
  } rows[] = {
      {"short line stays whole", "SUMMARY:Hello", 1},
      {"exactly 75 octets stays whole", "X:" + Repeat("a", 73), 1},
      {"76 octets fold once", "X:" + Repeat("a", 74), 2},
      {"continuations hold 74 octets after their blank", "X:" + Repeat("a", 73 + 74 + 1), 3},
      {"two-byte characters are never split", "X:" + Repeat("a", 60) + Repeat("\xC3\xBC", 20), 2},
      {"four-byte characters across the boundary", "X:" + Repeat("x", 22) + Repeat("\xF0\x9F\x93\x85", 60), 4},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    const std::string folded = Writer::Fold(r.line);
    std::string unfolded;
    size_t count = 0;
    for (size_t start = 0; start <= folded.size();) {
      size_t end = folded.find("\r\n", start);
      if (end == std::string::npos) end = folded.size();
      std::string physical = folded.substr(start, end - start);
      EXPECT_LE(physical.size(), 75u);
      if (count > 0) {
        ASSERT_EQ(physical[0], ' ');
        physical.erase(0, 1);
      }
      ASSERT_FALSE(physical.empty());
      EXPECT_NE(static_cast<unsigned char>(physical[0]) & 0xC0, 0x80) << "split inside a character";
      unfolded += physical;
      ++count;
      start = end + 2;
    }
    EXPECT_EQ(unfolded, r.line);
    EXPECT_EQ(count, r.lines);
  }
}

TEST(IcalWriterTest, EscapesTextAndQuotesParameters) {
  EXPECT_EQ(Writer::EscapeText("a,b;c\\d\r\ne\nf\rg\x01h\ti"), "a\\,b\\;c\\\\d\\ne\\nf\\ng" "h\ti");
  EXPECT_EQ(Writer::ParameterValue("Doe, Jane"), "\"Doe, Jane\"");
  EXPECT_EQ(Writer::ParameterValue("say \"hi\": now"), "\"say hi: now\"");
  EXPECT_EQ(Writer::ParameterValue("Plain Name"), "Plain Name");
  Writer w;
  w.Raw("ATTENDEE", {{"CN", "Doe; Jane"}, {"ROLE", "REQ-PARTICIPANT"}}, "mailto:j@example.com");
  EXPECT_EQ(w.text(), "ATTENDEE;CN=\"Doe; Jane\";ROLE=REQ-PARTICIPANT:mailto:j@example.com\r\n");
  EXPECT_EQ(FormatUtc(0), "19700101T000000Z");
  EXPECT_EQ(FormatUtcOffset(330), "+0530");
  EXPECT_EQ(FormatUtcOffset(-480), "-0800");
  EXPECT_EQ(FormatDate(CivilFromSeconds(-kSeconds1601To1970)), "16010101");
}

}  // namespace
}  // namespace formats::ical
