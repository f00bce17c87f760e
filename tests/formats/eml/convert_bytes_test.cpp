// The whole conversion in memory: .msg bytes from the fixture writer in, .eml
// bytes out, with boundaries, date and ids fixed so the result is compared byte
// for byte with a golden file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>

#include "formats/eml/convert.h"
#include "tests/formats/mime/mime_test_util.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

using msg_fixture::FixtureAttachment;
using msg_fixture::FixtureMessage;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

FixtureMessage GoldenItem() {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Réunion: budget & plan").Long(0x3FDE, 1252);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  m.props.Unicode(0x1042, "<parent@example.com>").Unicode(0x1039, "<root@example.com> <parent@example.com>");
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
  // The HTML in code page 1252 with a matching meta tag: the .eml declares UTF-8.
  m.props.Binary(0x1013, Bytes("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                               "</head><body><p>Voil\xe0 le plan \x96 see the chart:</p>"
                               "<img src=\"cid:chart@x\"></body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Zoë Martin", "zoe@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Team, Planning", "plan@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(3, "", "archive@example.com"));
  m.attachments.push_back(msg_fixture::FileAttachment("chart.png", "image/png", Bytes("\x89PNG\r\n\x1a\nchart"), "chart@x"));
  m.attachments.push_back(msg_fixture::FileAttachment("Übersicht März.xlsx", "", Bytes("PK\x03\x04 sheet")));
  FixtureAttachment inner;
  inner.props.Long(0x3705, 5).Unicode(0x3001, "Earlier note");
  inner.embedded = std::make_shared<FixtureMessage>();
  inner.embedded->props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Earlier note").Unicode(0x1000, "plain\r\ntext");
  inner.embedded->props.Time(0x0039, msg_fixture::FileTime(2026, 3, 1, 8, 0, 0));
  inner.embedded->props.Unicode(0x1035, "<parent@example.com>");
  msg_fixture::SetSmtpSender(inner.embedded->props, "Sam", "sam@example.com");
  m.attachments.push_back(std::move(inner));
  return m;
}

formats::eml::ComposeOptions FixedCompose() {
  return {[] { return int64_t{1773500000}; }, [] { return std::string(32, '0'); }};
}

formats::mime::WriteOptions FixedBoundaries() {
  auto n = std::make_shared<int>(0);
  return {[n] { return "=_golden_" + std::to_string(++*n); }};
}

TEST(ConvertBytesTest, MatchesGoldenFile) {
  const auto image = msg_fixture::WriteMsg(GoldenItem());
  formats::mime::StringSink sink;
  formats::Status st = formats::eml::ConvertBytes(image.bytes, sink, FixedCompose(), FixedBoundaries());
  ASSERT_TRUE(st.ok()) << st.error().detail;
  const std::string path = std::string(TEST_DATA_DIR) + "/eml/converted_fixture.eml";
  if (std::getenv("MIME_UPDATE_GOLDEN")) std::ofstream(path, std::ios::binary) << sink.str();
  std::ifstream in(path, std::ios::binary);
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(sink.str(), golden.str());
}

TEST(ConvertBytesTest, SinkFailureAnywhereComesBack) {
  const auto image = msg_fixture::WriteMsg(GoldenItem());
  formats::mime::StringSink whole;
  ASSERT_TRUE(formats::eml::ConvertBytes(image.bytes, whole, FixedCompose(), FixedBoundaries()).ok());
  for (size_t limit = 0; limit < whole.str().size(); limit += 97) {
    mime_test::FailingSink sink(limit);
    formats::Status st = formats::eml::ConvertBytes(image.bytes, sink, FixedCompose(), FixedBoundaries());
    ASSERT_FALSE(st.ok()) << limit;
    EXPECT_EQ(st.error().code, formats::ErrorCode::kIo);
    EXPECT_EQ(sink.writes_after_failure(), 0u);
  }
}

TEST(ConvertBytesTest, BrokenInputIsAnErrorNotACrash) {
  auto image = msg_fixture::WriteMsg(GoldenItem()).bytes;
  formats::mime::StringSink sink;
  // Truncated at many points: every one either converts or reports, none crashes.
  for (size_t cut = 0; cut < image.size(); cut += image.size() / 64 + 1) {
    std::vector<uint8_t> part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
    formats::Status st = formats::eml::ConvertBytes(part, sink);
    if (cut < 512) {
      EXPECT_FALSE(st.ok()) << cut;  // not even a compound file header
    }
  }
}

// Which body becomes the HTML of a rich-text item: its RTF when the RTF is its
// own body (or, when nothing says whether it is current, when it holds HTML or
// places the item's attachments), else the plain text Outlook keeps beside it.
TEST(ConvertBytesTest, RichTextBodyRendersOnlyWhenTheRtfIsItsOwn) {
  enum Rtf { kPlainRtf, kPlacingRtf, kHtmlRtf };
  constexpr char kBanner[] = "This message was converted by the archive.\r\n";
  struct Row {
    const char* fault;
    int in_sync;  // -1: no PidTagRtfInSync
    uint32_t native_body;  // 0: none
    const char* sync_tag;
    const char* plain;  // null: none
    bool rendered;
    bool plain_alternative;
    Rtf rtf = kPlainRtf;
  } rows[] = {
      {"in sync", 1, 0, "", "Hello there\r\n", true, true},
      {"written in RTF", -1, 2, "", "Hello there\r\n", true, true},
      {"sync tag agrees with the plain text (blanks and case aside)", 0, 0, "HELLOTHER", " hello\tthere\r\n", true, true},
      {"out of sync: the stale RTF loses", 0, 0, "GOODBYE", "Hello there\r\n", false, true},
      {"nothing says so: the plain text stays", -1, 0, "", "Hello there\r\n", false, true},
      {"RTF alone", -1, 0, "", nullptr, true, false},
      {"sync unknown, RTF places the item's picture: the RTF wins over a banner", -1, 0, "", kBanner, true, false,
       kPlacingRtf},
      {"out of sync, RTF places the picture: the plain text stays", 0, 0, "GOODBYE", kBanner, false, true, kPlacingRtf},
      {"sync unknown, HTML in the RTF wins over a banner, its cid: picture inline", -1, 0, "", kBanner, true, false,
       kHtmlRtf},
      {"sync unknown, HTML in the RTF with its own text as plain: both alternatives", -1, 0, "", "Hello there\r\n",
       true, true, kHtmlRtf},
      {"HTML in the RTF, in sync", 1, 0, "", kBanner, true, true, kHtmlRtf},
      {"HTML in the RTF, out of sync, as before: the HTML", 0, 0, "GOODBYE", kBanner, true, true, kHtmlRtf},
  };
  for (const Row& r : rows) {
    FixtureMessage m;
    m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Rich").Time(0x0039, msg_fixture::FileTime(2026, 3, 1, 8, 0, 0));
    msg_fixture::SetSmtpSender(m.props, "Sam", "sam@example.com");
    const char* rtf = r.rtf == kPlainRtf ? "{\\rtf1\\ansi {\\b Hello} there\\par}"
                      : r.rtf == kPlacingRtf
                          ? "{\\rtf1\\ansi {\\b Hello} there\\par {\\*\\objattph}\\par}"
                          : "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <body><div><b>}Hello{\\*\\htmltag </b>} there"
                            "{\\*\\htmltag </div><img src=\"cid:barcode\"></body>}}";
    m.props.Binary(0x1009, msg_fixture::StoredRtf(rtf));
    if (r.in_sync >= 0) m.props.Bool(0x0E1F, r.in_sync == 1);
    if (r.native_body != 0) m.props.Long(0x1016, r.native_body);
    if (*r.sync_tag != 0) m.props.Unicode(0x1008, r.sync_tag);
    if (r.plain != nullptr) m.props.Unicode(0x1000, r.plain);
    if (r.rtf != kPlainRtf) {
      m.attachments.push_back(msg_fixture::FileAttachment("barcode.png", "image/png", Bytes("\x89PNG\r\n\x1a\nbar"),
                                                          r.rtf == kHtmlRtf ? "barcode" : ""));
      if (r.rtf == kPlacingRtf) m.attachments.back().props.Long(0x370B, 12);
    }
    formats::mime::StringSink sink;
    ASSERT_TRUE(formats::eml::ConvertBytes(msg_fixture::WriteMsg(m).bytes, sink, FixedCompose(), FixedBoundaries()).ok());
    const std::string& eml = sink.str();
    EXPECT_EQ(eml.find("<div><b>Hello</b> there</div>") != std::string::npos, r.rendered) << r.fault;
    EXPECT_EQ(eml.find("<pre") != std::string::npos, !r.rendered) << r.fault;
    EXPECT_EQ(eml.find("Content-Type: text/plain") != std::string::npos, r.plain_alternative) << r.fault;
    if (r.rtf != kPlainRtf) {
      EXPECT_EQ(eml.find("Content-Disposition: inline; filename=barcode.png") != std::string::npos, r.rendered)
          << r.fault << "\n" << eml;
    }
  }
}

// Who the parties are, by the rule that finds each one's Internet address. The
// sender of every row is known by Exchange DN only unless the row says more.
constexpr char kJaneDn[] = "/O=ORG/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=JDOE";
constexpr char kJaneDnLower[] = "/o=org/ou=exchange administrative group (fydibohf23spdlt)/cn=recipients/cn=jdoe";
constexpr char kOtherDn[] = "/O=ORG/OU=EXCHANGE ADMINISTRATIVE GROUP (FYDIBOHF23SPDLT)/CN=RECIPIENTS/CN=PLEE";

void SetExchangeSender(msg_fixture::Properties& p, std::string_view name, std::string_view dn) {
  p.Unicode(0x0C1A, name).Unicode(0x0C1E, "EX").Unicode(0x0C1F, dn).Binary(0x0C19, msg_fixture::ExchangeEntryId(dn));
  p.Unicode(0x0042, name).Unicode(0x0064, "EX").Unicode(0x0065, dn).Binary(0x0041, msg_fixture::ExchangeEntryId(dn));
}

TEST(ConvertBytesTest, AddressesAreFoundWhereverTheFileSaysWhoThePartiesAre) {
  using msg_fixture::Properties;
  struct Row {
    const char* rule;
    std::function<void(FixtureMessage&)> set;
    std::string from, to;  // header lines expected; from empty: the conversion fails with `to` as its line
    const char* sender_address = kJaneDn;  // under type EX; nullptr: the row sets the sender
  } const rows[] = {
      {"smtp_properties_outrank_a_stale_one_off_entry_id",
       [](FixtureMessage& m) {
         m.props.Unicode(0x0C1A, "Example One").Unicode(0x0C1E, "SMTP").Unicode(0x0C1F, "example1@example.org");
         m.props.Binary(0x0C19, msg_fixture::OneOffEntryId("Old", "SMTP", "old@example.org"));
         m.props.Unicode(0x0042, "Example One").Unicode(0x0064, "SMTP").Unicode(0x0065, "example1@example.org");
         m.props.Binary(0x0041, msg_fixture::OneOffEntryId("Old", "SMTP", "old@example.org"));
         m.recipients.push_back(Properties().Long(0x0C15, 1).Unicode(0x3001, "Pat").Unicode(0x3002, "SMTP")
                                    .Unicode(0x3003, "pat@example.org")
                                    .Binary(0x0FFF, msg_fixture::OneOffEntryId("Pat", "SMTP", "gone@example.org")));
       },
       "From: Example One <example1@example.org>", "To: Ann <ann@example.org>, Pat <pat@example.org>", nullptr},
      {"whole_mailbox_in_the_address_property",
       [](FixtureMessage& m) {
         m.props.Unicode(0x0C1A, "Test").Unicode(0x0C1E, "SMTP").Unicode(0x0C1F, "test@example.org <test@example.org>");
         m.recipients.push_back(Properties().Long(0x0C15, 2).Unicode(0x3001, "Pat").Unicode(0x3002, "SMTP")
                                    .Unicode(0x3003, "Pat <pat@example.org>"));
       },
       "From: Test <test@example.org>", "Cc: Pat <pat@example.org>", nullptr},
      {"dn_match_by_recipient_row",
       [](FixtureMessage& m) {
         m.recipients.push_back(Properties().Long(0x0C15, 2).Unicode(0x3001, "Jane").Unicode(0x3002, "EX")
                                    .Unicode(0x3003, kJaneDnLower).Unicode(0x39FE, "jane@corp.example"));
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>"},
      {"dn_match_by_creator",
       [](FixtureMessage& m) {
         m.props.Binary(0x3FF9, msg_fixture::ExchangeEntryId(kJaneDnLower)).Unicode(0x5D0A, "jane@corp.example");
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>"},
      {"dn_match_by_last_modifier",
       [](FixtureMessage& m) {
         m.props.Binary(0x3FFB, msg_fixture::ExchangeEntryId(kJaneDn)).Unicode(0x5D0B, "jane@corp.example");
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>"},
      {"recipient_known_by_dn_of_the_last_modifier",
       [](FixtureMessage& m) {
         m.recipients.push_back(Properties().Long(0x0C15, 1).Unicode(0x3001, "Pat Lee").Unicode(0x3002, "EX")
                                    .Unicode(0x3003, kOtherDn));
         m.props.Binary(0x3FFB, msg_fixture::ExchangeEntryId(kOtherDn)).Unicode(0x5D0B, "pat@corp.example");
         m.props.Unicode(0x5D01, "jane@corp.example");
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>, Pat Lee <pat@corp.example>"},
      {"creator_with_another_dn_is_not_the_sender",
       [](FixtureMessage& m) {
         m.props.Unicode(0x3FF8, "Jane Doe").Binary(0x3FF9, msg_fixture::ExchangeEntryId(kOtherDn));
         m.props.Unicode(0x5D0A, "pat@corp.example");
       },
       "",
       "Sender has no Internet mail address (\"Jane Doe\" has only an Exchange address and the file holds no SMTP "
       "address)"},
      {"creator_entry_id_cut_before_its_dn_ends",
       [](FixtureMessage& m) {
         std::vector<uint8_t> id = msg_fixture::ExchangeEntryId(kJaneDn);
         id.pop_back();
         m.props.Binary(0x3FF9, id).Unicode(0x5D0A, "jane@corp.example");
       },
       "", "Sender has no Internet mail address (\"Jane Doe\" has only an Exchange address and the file holds no SMTP "
           "address)"},
      {"smtp_form_address_under_type_ex",
       [](FixtureMessage& m) {
         m.recipients.push_back(
             Properties().Long(0x0C15, 1).Unicode(0x3001, "Pat").Unicode(0x3002, "EX").Unicode(0x3003, "pat@example.org"));
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>, Pat <pat@example.org>", "jane@corp.example"},
      {"name_that_is_an_address",
       [](FixtureMessage& m) {
         m.props.Unicode(0x5D01, "jane@corp.example");
         m.recipients.push_back(Properties().Long(0x0C15, 1).Unicode(0x3001, "pat@example.org"));
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>, pat@example.org"},
      {"empty_row_is_skipped",
       [](FixtureMessage& m) {
         m.props.Unicode(0x5D01, "jane@corp.example");
         m.recipients.push_back(Properties().Long(0x0C15, 1));
       },
       "From: Jane Doe <jane@corp.example>", "To: Ann <ann@example.org>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rule);
    FixtureMessage m;
    m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Status").Unicode(0x1000, "text");
    m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
    if (row.sender_address != nullptr) SetExchangeSender(m.props, "Jane Doe", row.sender_address);
    m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Ann", "ann@example.org"));
    row.set(m);
    const auto image = msg_fixture::WriteMsg(m);
    formats::mime::StringSink sink;
    formats::Status st = formats::eml::ConvertBytes(image.bytes, sink, FixedCompose(), FixedBoundaries());
    if (row.from.empty()) {
      EXPECT_EQ(st.ok() ? "converted" : st.error().detail, row.to);
      continue;
    }
    if (!st.ok()) {
      ADD_FAILURE() << st.error().detail;
      continue;
    }
    std::string head = sink.str().substr(0, sink.str().find("\r\n\r\n") + 2);
    for (size_t fold; (fold = head.find("\r\n ")) != std::string::npos;) head.replace(fold, 3, " ");
    EXPECT_NE(head.find(row.from + "\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find(row.to + "\r\n"), std::string::npos) << head;
  }
}

}  // namespace
