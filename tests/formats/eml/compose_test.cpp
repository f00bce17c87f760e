#include "formats/eml/compose.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "formats/common/limits.h"
#include "formats/mime/sink.h"
#include "tests/formats/eml/compose_test_util.h"
#include "tests/formats/mime/mime_test_util.h"

namespace formats::eml {
namespace {

using namespace compose_testing;

TEST(ComposeTest, FromUsesTheSmtpAddressTheFileCarries) {
  struct Row {
    const char* fault;
    msg::Address sender, represented;
    std::string headers;
    std::string expected_from;  // empty: kNoSender
  } rows[] = {
      {"SMTP sender", Smtp("Jane", "jane@example.com"), {}, "", "From: Jane <jane@example.com>\r\n"},
      {"EX sender with its SMTP property", Exchange("Jane", "jane@corp.example"), {}, "",
       "From: Jane <jane@corp.example>\r\n"},
      {"EX sender falls back to the represented owner", Exchange("Jane"), Smtp("Boss", "boss@example.com"), "",
       "From: Boss <boss@example.com>\r\n"},
      {"sender properties absent", {}, Smtp("Owner", "owner@example.com"), "", "From: Owner <owner@example.com>\r\n"},
      {"EX sender of received mail: the original From header", Exchange("Jane"), Exchange("Jane"),
       "Received: x\r\nFrom: \"J. Doe\" <jdoe@example.org>\r\nTo: a@example.com\r\n\r\n",
       "From: Jane <jdoe@example.org>\r\n"},
      {"X.500 address is never written as an address", Exchange("Jane"), {}, "", ""},
      {"no sender at all", {}, {}, "", ""},
      {"SMTP type with garbage address", Smtp("X", "not an address"), {}, "", ""},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.sender = r.sender;
    m.sent_representing = r.represented;
    m.transport_headers = r.headers;
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    if (r.expected_from.empty()) {
      ASSERT_FALSE(out.ok()) << r.fault;
      EXPECT_EQ(out.error().code, ErrorCode::kNoSender) << r.fault;
      EXPECT_EQ(out.error().detail.rfind("Sender has no Internet mail address (", 0), 0u) << out.error().detail;
      continue;
    }
    ASSERT_TRUE(out.ok()) << r.fault << ": " << out.error().detail;
    EXPECT_NE(Headers(*out).find(r.expected_from), std::string::npos) << r.fault << "\n" << Headers(*out);
  }
}

TEST(ComposeTest, MissingSenderReasonSaysWhatIsMissing) {
  const struct {
    msg::Address sender;
    std::string reason;
  } rows[] = {
      {{}, "Sender has no Internet mail address (the item has no sender: an unsent draft)"},
      {Exchange("Jane"),
       "Sender has no Internet mail address (\"Jane\" has only an Exchange address and the file holds no SMTP "
       "address)"},
      {Smtp("X", "not an address"),
       "Sender has no Internet mail address (\"not an address\" is not an Internet mail address)"},
  };
  for (const auto& r : rows) {
    msg::Message m = BasicMessage();
    m.sender = r.sender;
    m.sent_representing = {};
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_FALSE(out.ok());
    EXPECT_EQ(out.error().detail, r.reason);
  }
}

TEST(ComposeTest, RecipientTypesAndResendFlags) {
  msg::Message m = BasicMessage();
  m.recipients = {Recip(1, Smtp("To One", "to1@example.com")),
                  Recip(2, Smtp("", "cc@example.com")),
                  Recip(3, Smtp("Hidden", "bcc@example.com")),
                  Recip(0, Smtp("Originator", "orig@example.com")),
                  Recip(4, Smtp("Four", "four@example.com")),
                  Recip(static_cast<int32_t>(0x10000001), Smtp("Resent", "resent@example.com")),
                  Recip(1, Exchange("Ex With Smtp", "ex@example.com"))};
  FakeContent content;
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok()) << out.error().detail;
  std::string h = Headers(*out);
  for (size_t fold; (fold = h.find("\r\n ")) != std::string::npos;) h.erase(fold, 2);
  EXPECT_NE(h.find("To: To One <to1@example.com>, Resent <resent@example.com>, Ex With Smtp <ex@example.com>\r\n"),
            std::string::npos)
      << h;
  EXPECT_NE(h.find("Cc: cc@example.com\r\n"), std::string::npos);
  EXPECT_NE(h.find("Bcc: Hidden <bcc@example.com>\r\n"), std::string::npos);
  EXPECT_EQ(h.find("orig@example.com"), std::string::npos);
  EXPECT_EQ(h.find("four@example.com"), std::string::npos);
}

TEST(ComposeTest, RecipientWithoutInternetAddressFails) {
  msg::Message m = BasicMessage();
  m.recipients = {Recip(2, Exchange("Nobody"))};
  FakeContent content;
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_FALSE(out.ok());
  EXPECT_EQ(out.error().code, ErrorCode::kBadAddress);
  EXPECT_EQ(out.error().detail,
            "Recipient \"Nobody\" has no Internet mail address (\"Nobody\" has only an Exchange address and the file "
            "holds no SMTP address)");

  // The same recipient is found by name in the original header of received mail.
  m.transport_headers = "Cc: Somebody <s@example.com>, Nobody <nobody@example.com>\r\n\r\n";
  out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok()) << out.error().detail;
  EXPECT_NE(Headers(*out).find("Cc: Nobody <nobody@example.com>\r\n"), std::string::npos);
}

TEST(ComposeTest, OnlyMailClassesConvert) {
  struct Row {
    std::string message_class;
    bool mail;
  } rows[] = {{"IPM.Note", true}, {"ipm.note", true}, {"IPM.Note.SMIME.MultipartSigned", true},
              {"IPM.Schedule.Meeting.Request", true}, {"REPORT.IPM.Note.NDR", true}, {"", true},
              {"IPM.Contact", false}, {"IPM.Appointment", false}, {"IPM.StickyNote", false},
              {"IPM.Task", false}, {"IPM.Notebook", false}, {"IPM.DistList", false}};
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.message_class = r.message_class;
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    EXPECT_EQ(out.ok(), r.mail) << r.message_class;
    if (!r.mail) {
      EXPECT_EQ(out.error().code, ErrorCode::kNotMail);
      EXPECT_EQ(out.error().detail, "Item is not a mail message (" + r.message_class + ")");
    }
  }
}

TEST(ComposeTest, DateAndMessageIdFallbacks) {
  struct Row {
    const char* fault;
    std::optional<uint64_t> submit, delivery, creation;
    std::string id;
    std::string expected_date, expected_id;
  } rows[] = {
      {"submit time first", 0x01D95686F75FD700ull, 1, 1, "<a@b>", "Tue, 14 Mar 2023 15:09:26 +0000", "<a@b>"},
      {"then delivery time", std::nullopt, 0x01D95686F75FD700ull, std::nullopt, "a@b",
       "Tue, 14 Mar 2023 15:09:26 +0000", "<a@b>"},
      {"then creation time", std::nullopt, std::nullopt, 0x01D95686F75FD700ull, "",
       "Tue, 14 Mar 2023 15:09:26 +0000", "<" + std::string(32, 'a') + ".1678806566@example.com>"},
      {"then now; malformed id replaced", std::nullopt, std::nullopt, std::nullopt, "<bad id>",
       "Tue, 14 Nov 2023 22:13:20 +0000", "<" + std::string(32, 'a') + ".1700000000@example.com>"},
      {"a colon on the left is kept as stored", 0x01D95686F75FD700ull, 1, 1,
       "<PK:6293601_3007_20_223_223_.281120101113@lturpost.de>", "Tue, 14 Mar 2023 15:09:26 +0000",
       "<PK:6293601_3007_20_223_223_.281120101113@lturpost.de>"},
      {"an id without @ is kept, in angle brackets", 0x01D95686F75FD700ull, 1, 1, " 4D2E8F1A0B3C$7E6F5A4B ",
       "Tue, 14 Mar 2023 15:09:26 +0000", "<4D2E8F1A0B3C$7E6F5A4B>"},
      {"an id readers would cut is replaced", 0x01D95686F75FD700ull, 1, 1, "<a(b)@c>",
       "Tue, 14 Mar 2023 15:09:26 +0000", "<" + std::string(32, 'a') + ".1678806566@example.com>"},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.client_submit_time = r.submit;
    m.delivery_time = r.delivery;
    m.creation_time = r.creation;
    m.internet_message_id = r.id;
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok());
    const std::string h = Headers(*out);
    EXPECT_NE(h.find("Date: " + r.expected_date + "\r\n"), std::string::npos) << r.fault << "\n" << h;
    EXPECT_NE(h.find("Message-ID: " + r.expected_id + "\r\n"), std::string::npos) << r.fault << "\n" << h;
  }
}

TEST(ComposeTest, BodyAlwaysHtmlWithCharsetThatDescribesItsBytes) {
  struct Row {
    const char* fault;
    std::optional<std::string> html;
    bool html_is_utf8;
    uint32_t internet_codepage;
    std::optional<std::string> plain;
    std::string must_contain;
    std::string must_not_contain;
  } rows[] = {
      {"1252 HTML is decoded and its meta rewritten",
       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\"></head>"
       "<body>caf\xe9</body></html>",
       false, 1252, std::nullopt, "charset=utf-8\"></head><body>caf\xc3\xa9<", "windows-1252"},
      {"the meta names the code page when the item does not",
       "<meta charset=\"iso-8859-2\"><p>\xb1</p>", false, 0, std::nullopt, "<p>\xc4\x85</p>", "iso-8859-2"},
      {"plain text only becomes HTML", std::nullopt, false, 0, "a < b\r\n\r\nnext", "&lt;", ""},
      {"nothing at all still gives an HTML body", std::nullopt, false, 0, std::nullopt, "Content-Type: text/html", ""},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.html = r.html;
    m.html_is_utf8 = r.html_is_utf8;
    m.internet_codepage = r.internet_codepage;
    m.body = r.plain;
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok());
    // A stored plain text goes beside the HTML, never instead of it.
    EXPECT_EQ(out->body.media_type, r.plain ? "multipart/alternative" : "text/html") << r.fault;
    std::string text = Written(*out);
    const size_t body = text.find("\r\n\r\n");
    text = text.substr(0, body) + mime_test::DecodeQuotedPrintable(text.substr(body));
    EXPECT_NE(text.find("Content-Type: text/html; charset=utf-8"), std::string::npos) << r.fault;
    EXPECT_NE(text.find(r.must_contain), std::string::npos) << r.fault << "\n" << text;
    if (!r.must_not_contain.empty()) {
      EXPECT_EQ(text.find(r.must_not_contain), std::string::npos) << r.fault;
    }
  }
}

TEST(ComposeTest, ReferencedImagesGoInlineOthersAttach) {
  msg::Message m = BasicMessage();
  m.html = "<img src=\"cid:IMG%401\"><img src=\"logo.png\"><img src='Pic.gif'>";
  m.attachments.push_back(File("photo.png", "image/png", "img@1"));  // referenced by cid (case, %-escape)
  m.attachments.push_back(File("logo.png", "", ""));
  m.attachments.back().content_location = "logo.png";  // referenced by location
  m.attachments.push_back(File("unused.png", "image/png", "other@1"));  // content id nobody uses: attached, keeps it
  m.attachments.push_back(File("report.pdf"));
  m.attachments.push_back(File("pic.gif"));  // referenced by its bare file name
  FakeContent content;
  content.data = {{"photo.png", "P"}, {"logo.png", "L"}, {"unused.png", "U"}, {"report.pdf", "%PDF"}, {"pic.gif", "G"}};
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok());
  const mime::Entity& mixed = out->body;
  ASSERT_EQ(mixed.media_type, "multipart/mixed");
  ASSERT_EQ(mixed.parts.size(), 3u);
  const mime::Entity& related = mixed.parts[0];
  ASSERT_EQ(related.media_type, "multipart/related");
  ASSERT_EQ(related.parts.size(), 4u);
  EXPECT_EQ(related.parts[0].media_type, "text/html");
  EXPECT_EQ(related.parts[1].disposition, "inline");
  EXPECT_EQ(related.parts[1].fields.at(0), (std::pair<std::string, std::string>{"Content-ID", "<img@1>"}));
  EXPECT_EQ(related.parts[2].media_type, "image/png");  // from the extension
  EXPECT_EQ(related.parts[2].fields.at(0).first, "Content-Location");
  EXPECT_EQ(related.parts[3].fields.at(0), (std::pair<std::string, std::string>{"Content-Location", "pic.gif"}));
  EXPECT_EQ(mixed.parts[1].disposition_params.at(0).value, "unused.png");
  EXPECT_EQ(mixed.parts[1].fields, (std::vector<std::pair<std::string, std::string>>{{"Content-ID", "<other@1>"}}));
  EXPECT_EQ(mixed.parts[2].media_type, "application/pdf");
  const std::string text = Written(*out);
  EXPECT_NE(text.find("JVBERg=="), std::string::npos);  // "%PDF" streamed through base64
}

TEST(ComposeTest, EmbeddedReferenceOleAndEmptyAttachmentsAllAppear) {
  msg::Message m = BasicMessage();
  msg::Attachment embedded;
  embedded.method = msg::AttachMethod::kEmbeddedMessage;
  embedded.filename = embedded.long_filename = "Forwarded.msg";
  embedded.embedded = std::make_unique<msg::Message>(BasicMessage());
  embedded.embedded->sender = {};  // an unsent draft inside: carried without From
  embedded.embedded->message_class = "IPM.Contact";
  embedded.embedded->subject = "Inner";
  m.attachments.push_back(std::move(embedded));

  msg::Attachment reference = File("plan.docx");
  reference.method = msg::AttachMethod::kByReference;
  reference.data.reset();
  reference.pathname = "C:\\Users\\me\\plan.docx";
  m.attachments.push_back(std::move(reference));

  msg::Attachment web = File("link");
  web.method = msg::AttachMethod::kByWebReference;
  web.pathname = "https://example.com/file.zip";
  m.attachments.push_back(std::move(web));

  msg::Attachment ole = File("Chart");
  ole.method = msg::AttachMethod::kOle;
  ole.object_storage = 7;
  m.attachments.push_back(std::move(ole));

  msg::Attachment nothing;
  nothing.method = msg::AttachMethod::kNone;
  m.attachments.push_back(std::move(nothing));

  FakeContent content;
  content.data = {{"Chart", "OLE"}};
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok()) << out.error().detail;
  ASSERT_EQ(out->body.parts.size(), 6u);
  const mime::Entity& inner = out->body.parts[1];
  EXPECT_EQ(inner.kind, mime::Entity::Kind::kMessage);
  EXPECT_EQ(inner.disposition_params.at(0).value, "Forwarded.eml");
  ASSERT_NE(inner.message, nullptr);
  EXPECT_EQ(Headers(*inner.message).find("From:"), std::string::npos);
  EXPECT_NE(Headers(*inner.message).find("Subject: Inner"), std::string::npos);
  EXPECT_NE(Headers(*inner.message).find("MIME-Version: 1.0"), std::string::npos);

  const std::string text = Written(*out);
  EXPECT_NE(text.find("Content-Type: message/external-body; access-type=local-file;\r\n name=\"C:\\\\Users\\\\me\\\\plan.docx\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("access-type=URL"), std::string::npos);
  EXPECT_NE(text.find("filename=Chart"), std::string::npos);
  EXPECT_NE(text.find("T0xF"), std::string::npos);  // "OLE" in base64
  EXPECT_NE(text.find("filename=attachment.bin"), std::string::npos);  // the nameless one
}

TEST(ComposeTest, EmbeddedMessageNamedAsTheUserSawIt) {
  struct Row {
    const char* fault;
    const char *long_name, *display, *short_name, *subject;
    const char* expected;
  } const rows[] = {
      {"the long name wins", "Forwarded.msg", "Shown", "FORWAR~1.MSG", "Inner", "Forwarded.eml"},
      {"a display name in another script beats the lossy short name", "", "अइउ", "???.msg", "Inner", "अइउ.eml"},
      {"the subject beats the short name", "", "", "FORWAR~1.MSG", "Inner", "Inner.eml"},
      {"the short name when nothing else names it", "", "", "FORWAR~1.MSG", "", "FORWAR~1.eml"},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    msg::Attachment a;
    a.method = msg::AttachMethod::kEmbeddedMessage;
    a.long_filename = r.long_name;
    a.display_name = r.display;
    a.short_filename = r.short_name;
    a.filename = *r.long_name ? r.long_name : *r.display ? r.display : r.short_name;
    a.embedded = std::make_unique<msg::Message>(BasicMessage());
    a.embedded->subject = r.subject;
    m.attachments.push_back(std::move(a));
    FakeContent content;
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok()) << r.fault;
    ASSERT_EQ(out->body.parts.size(), 2u) << r.fault;
    EXPECT_EQ(out->body.parts[1].disposition_params.at(0).value, r.expected) << r.fault;
  }
}

TEST(ComposeTest, StoredMessagesGoOutAsMessageWhenTheirBytesAllow) {
  struct Row {
    const char* fault;
    std::string tag, name, bytes;
    std::string expected_type;
  } rows[] = {
      {"clean stored message", "message/rfc822", "a.eml", "Subject: x\r\n\r\nbody\r\n", "message/rfc822"},
      {"by extension alone", "", "b.eml", "From: a@b\r\n\r\nhi", "message/rfc822"},
      {"8-bit bytes stay base64", "message/rfc822", "c.eml", "Subject: \xe9\r\n\r\n", "application/octet-stream"},
      {"bare LF stays base64", "message/rfc822", "d.eml", "Subject: x\n\nbody\n", "application/octet-stream"},
      {"not a header block", "message/rfc822", "e.eml", "hello world\r\n", "application/octet-stream"},
      {"a delivery status keeps its type", "message/delivery-status", "details.txt",
       "Reporting-MTA: dns; mx.example.org\r\n\r\nFinal-Recipient: rfc822; a@example.org\r\nAction: failed\r\n",
       "message/delivery-status"},
      {"a delivery status in 8 bits cannot be base64", "message/delivery-status", "f.txt",
       "Reporting-MTA: dns; \xe9\r\n", "application/octet-stream"},
      {"message/partial needs parameters the item lacks", "message/partial", "g.eml", "Subject: x\r\n\r\n",
       "application/octet-stream"},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.attachments.push_back(File(r.name, r.tag));
    FakeContent content;
    content.data = {{r.name, r.bytes}};
    m.attachments.back().data = msg::StreamRef(nullptr, 0, r.bytes.size());
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok());
    ASSERT_EQ(out->body.parts.size(), 2u);
    EXPECT_EQ(out->body.parts[1].media_type, r.expected_type) << r.fault;
    if (r.expected_type.rfind("message/", 0) == 0) {
      EXPECT_NE(Written(*out).find("7bit\r\nContent-Disposition: attachment; filename=" + r.name + "\r\n\r\n" + r.bytes),
                std::string::npos)
          << r.fault;
    }
  }
}

TEST(ComposeTest, ClearSignedBodyIsCopiedAfterOurHeader) {
  const std::string stored =
      "MIME-Version: 1.0\r\nBcc: smuggled@example.com\r\n"
      "Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\";\r\n"
      "\tboundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nsigned\r\n--b--\r\n";
  msg::Message m = BasicMessage();
  m.message_class = "IPM.Note.SMIME.MultipartSigned";
  m.attachments.push_back(File("smime.p7m", "multipart/signed"));
  FakeContent content;
  content.data = {{"smime.p7m", stored}};
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok());
  const std::string text = Written(*out);
  const std::string signed_part = stored.substr(stored.find("\r\n\r\n"));
  EXPECT_NE(text.find(signed_part), std::string::npos);
  EXPECT_EQ(text.find("MIME-Version"), text.rfind("MIME-Version")) << "MIME-Version twice";
  EXPECT_EQ(text.find("smuggled"), std::string::npos) << "a stored Bcc field was carried";
  EXPECT_NE(text.find("MIME-Version: 1.0\r\nContent-Type: multipart/signed;"), std::string::npos) << text;

  // Bytes without a header block are not a signed entity: ordinary mail then.
  content.data = {{"smime.p7m", "garbage"}};
  out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(out->body.media_type, "multipart/mixed");
}

TEST(ComposeTest, CarriesWhatTheItemHolds) {
  // A trace whose Date is the item's submit time (BasicMessage) in the sender's zone.
  const std::string block =
      "Received: from a.example by b.example; Tue, 14 Mar 2023 16:09:27 +0100\r\n"
      "Received: from c.example\r\n by a.example; Tue, 14 Mar 2023 16:09:26 +0100\r\n"
      "From: Someone Else <else@example.org>\r\nSubject: stale\r\nDate: Tue, 14 Mar 2023 16:09:26 +0100\r\n"
      "Content-Type: multipart/alternative; boundary=\"x\"\r\nContent-Transfer-Encoding: 7bit\r\n"
      "garbage without a colon\r\n continued garbage\r\nX-Mailer: Tool 1.0\r\nMIME-Version: 1.0\r\n"
      "Content-Language: de-DE\r\nX-Note: Grüße\r\n\r\nbody\r\n";
  std::string huge = "X-First: 1\r\n";
  while (huge.size() <= formats::limits::kMaxStoredHeaderBytes) huge += "X-Fill: " + std::string(70, 'f') + "\r\n";
  huge += "X-Last: beyond the limit\r\n";
  struct Row {
    const char* fault;
    std::function<void(msg::Message&, FakeContent&)> setup;
    std::vector<std::string> in_order;  // header lines, in this order
    std::vector<std::string> absent;
    std::string shape;  // empty: not checked
  } rows[] = {
      {"the stored block is carried in order, its structure fields left out, our fields in its places",
       [&](msg::Message& m, FakeContent&) { m.transport_headers = block; },
       {"Received: from a.example by b.example;", "Received: from c.example\r\n by a.example;",
        "From: Jane Doe <jane@example.com>\r\n", "Subject: Hello\r\n", "Date: Tue, 14 Mar 2023 16:09:26 +0100\r\n",
        "X-Mailer: Tool 1.0\r\n", "MIME-Version: 1.0\r\n", "Content-Language: de-DE\r\n",
        "X-Note: =?utf-8?B?R3LDvMOfZQ==?=\r\n", "Message-ID: <id1@example.com>\r\n"},
       {"else@example.org", "stale", "boundary=\"x\"", "7bit", "garbage", "Date: Tue, 14 Mar 2023 15:09:26"},
       ""},
      {"without a message id property the block's id is kept",
       [](msg::Message& m, FakeContent&) {
         m.internet_message_id.clear();
         m.transport_headers = "Message-ID:\r\n <stored@example.com>\r\n";
       },
       {"Message-ID: <stored@example.com>\r\n"}, {"mailvane.invalid"}, ""},
      {"a Date of another instant is not carried: the item's time in UTC",
       [](msg::Message& m, FakeContent&) { m.transport_headers = "Date: Tue, 14 Mar 2023 16:10:00 +0100\r\n"; },
       {"Date: Tue, 14 Mar 2023 15:09:26 +0000\r\n"}, {"16:10:00"}, ""},
      {"a block beyond the limit is cut before a whole field",
       [&](msg::Message& m, FakeContent&) { m.transport_headers = huge; }, {"X-First: 1\r\n", "X-Fill: fff"},
       {"X-Last"}, ""},
      {"threads, reply recipients, importance, priority, sensitivity, categories from the properties",
       [](msg::Message& m, FakeContent&) {
         m.in_reply_to = "<p@example.com>";
         m.references = "<r@example.com> <p@example.com>";
         m.reply_to = {Smtp("Desk", "desk@example.com"), Exchange("Nobody")};
         m.importance = 2;
         m.priority = -1;
         m.sensitivity = 3;
         m.locale_id = 0x20416;  // Portuguese (Brazil), with a sort id
         m.categories = {"Blue", " ", "Büro"};
       },
       {"Reply-To: Desk <desk@example.com>\r\n", "Message-ID:", "In-Reply-To: <p@example.com>\r\n",
        "References: <r@example.com> <p@example.com>\r\n", "Importance: high\r\n", "X-Priority: 5 (Lowest)\r\n",
        "Priority: non-urgent\r\n", "Content-Language: pt-BR\r\n", "Sensitivity: Company-Confidential\r\n", "Keywords: Blue, =?utf-8?", "MIME-Version: 1.0\r\n"},
       {"/O=ORG"}, ""},
      {"normal importance, priority and sensitivity, and a locale without a tag write nothing",
       [](msg::Message& m, FakeContent&) {
         m.importance = 1;
         m.priority = 0;
         m.sensitivity = 0;
         m.locale_id = 0x0C00;  // the user's custom locale
       },
       {}, {"Importance", "Priority", "Sensitivity", "Keywords", "Reply-To", "Content-Language"}, ""},
      {"the block's own language and priority win over the properties'",
       [](msg::Message& m, FakeContent&) {
         m.transport_headers = "Content-Language: de-DE\r\nPriority: normal\r\n";
         m.locale_id = 0x0409;
         m.priority = 1;
       },
       {"Content-Language: de-DE\r\n", "Priority: normal\r\n"}, {"en-US", "urgent"}, ""},
      {"the block's own thread and reply fields win over the properties'",
       [](msg::Message& m, FakeContent&) {
         m.in_reply_to = "<p@example.com>";
         m.reply_to = {Smtp("Desk", "desk@example.com")};
         m.importance = 0;
         m.transport_headers = "In-Reply-To: <b@example.com>\r\nReply-To: list@example.com\r\nImportance: Low\r\n";
       },
       {"In-Reply-To: <b@example.com>\r\n", "Reply-To: list@example.com\r\n", "Importance: Low\r\n"},
       {"<p@example.com>", "desk@", "Importance: low"}, ""},
      {"sent on behalf: From is the owner, Sender the one who sent it",
       [](msg::Message& m, FakeContent&) { m.sent_representing = Smtp("Boss", "boss@example.com"); },
       {"From: Boss <boss@example.com>\r\n", "Sender: Jane Doe <jane@example.com>\r\n"}, {}, ""},
      {"the same person in both groups gives no Sender",
       [](msg::Message& m, FakeContent&) { m.sent_representing = Smtp("Jane", "JANE@example.com"); },
       {"From: Jane Doe <jane@example.com>\r\n"}, {"Sender:"}, ""},
      {"a stored plain text goes first beside the HTML",
       [](msg::Message& m, FakeContent&) { m.body = "plain\nbody"; }, {}, {},
       "multipart/alternative(text/plain,text/html)"},
      {"blank plain text is no alternative", [](msg::Message& m, FakeContent&) { m.body = " \r\n"; }, {}, {},
       "text/html"},
      {"an empty plain body alone stays an empty text/plain",
       [](msg::Message& m, FakeContent&) {
         m.html.reset();
         m.body = "";
       },
       {}, {}, "text/plain"},
      {"inline images belong to both renderings",
       [](msg::Message& m, FakeContent& content) {
         m.body = "plain";
         m.html = "<img src=\"cid:i@1\">";
         m.attachments.push_back(File("i.png", "image/png", "i@1"));
         m.attachments.push_back(File("a.pdf"));
         content.data = {{"i.png", "P"}, {"a.pdf", "%PDF"}};
       },
       {}, {}, "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html),image/png),application/pdf)"},
      {"a meeting request without plain text still gets the alternative: calendar last, and only there",
       [](msg::Message& m, FakeContent&) {
         m.message_class = "IPM.Schedule.Meeting.Request";
         m.meeting.emplace().start = m.client_submit_time;
       },
       {}, {}, "multipart/alternative(text/html,text/calendar)"},
      {"a meeting item without its appointment has no calendar",
       [](msg::Message& m, FakeContent&) { m.message_class = "IPM.Schedule.Meeting.Resp.Pos"; }, {}, {},
       "text/html"},
      {"a forward notification is no request",
       [](msg::Message& m, FakeContent&) {
         m.message_class = "IPM.Schedule.Meeting.Notification.Forward";
         m.meeting.emplace().start = m.client_submit_time;
       },
       {}, {}, "text/html"},
      {"a signed entity's own fields are not written twice",
       [](msg::Message& m, FakeContent& content) {
         m.message_class = "IPM.Note.SMIME.MultipartSigned";
         m.body = "plain";
         m.attachments.push_back(File("smime.p7m", "multipart/signed"));
         content.data = {{"smime.p7m",
                          "Content-Type: multipart/signed; boundary=\"b\"\r\nX-MimeOLE: Produced\r\n\r\n--b--\r\n"}};
         m.transport_headers = "X-MimeOLE: Produced\r\nX-Mailer: Tool\r\n";
       },
       {"X-Mailer: Tool\r\n", "MIME-Version: 1.0\r\n"}, {"X-MimeOLE"}, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    msg::Message m = BasicMessage();
    FakeContent content;
    r.setup(m, content);
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok());
    const std::string h = Headers(*out);
    size_t pos = 0;
    for (const std::string& line : r.in_order) {
      const size_t at = h.find(line, pos);
      EXPECT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n" << h;
      if (at != std::string::npos) pos = at + line.size();
    }
    for (const std::string& text : r.absent) EXPECT_EQ(h.find(text), std::string::npos) << text << "\n" << h;
    if (!r.shape.empty()) {
      EXPECT_EQ(Shape(out->body), r.shape);
    }
    for (char c : h) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << "8-bit byte in the header";
  }
}

TEST(ComposeTest, MeetingSentOnBehalfNamesTheDelegate) {
  msg::Message m = BasicMessage();
  m.message_class = "IPM.Schedule.Meeting.Request";
  m.sent_representing = Smtp("Boss", "boss@example.com");
  m.meeting.emplace().start = m.client_submit_time;
  FakeContent content;
  Result<mime::Message> out = ComposeMessage(m, content, Fixed());
  ASSERT_TRUE(out.ok());
  const std::string written = Written(*out);
  EXPECT_NE(written.find("ORGANIZER;CN=Boss;SENT-BY=\"mailto:jane@example.com\":mailto:boss@example.com\r\n"),
            std::string::npos)
      << written;
}

TEST(ComposeTest, OpaqueSmimeKeepsItsBlobAndSaysWhatItIs) {
  // ContentInfo openings: SEQUENCE (definite or indefinite length), then the OID.
  const std::string enveloped("\x30\x80\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x03\xA0\x80", 15);
  const std::string signed_data("\x30\x82\x05\x10\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02\xA0", 16);
  struct Row {
    const char* fault;
    std::string item_type, tag, blob;
    std::string expected;  // the Content-Type as written, unfolded
  } rows[] = {
      {"encrypted, known from the blob", "", "application/pkcs7-mime", enveloped,
       "application/pkcs7-mime; smime-type=enveloped-data; name=smime.p7m"},
      {"signed, known from the blob", "", "application/pkcs7-mime", signed_data,
       "application/pkcs7-mime; smime-type=signed-data; name=smime.p7m"},
      {"the item's stored type wins", "application/pkcs7-mime; smime-type=\"signed-data\"; name=smime.p7m",
       "application/pkcs7-mime", enveloped, "application/pkcs7-mime; smime-type=signed-data; name=smime.p7m"},
      {"then the attachment's", "", "application/x-pkcs7-mime;smime-type=enveloped-data", "CMS",
       "application/pkcs7-mime; smime-type=enveloped-data; name=smime.p7m"},
      {"a blob that is no ContentInfo says nothing", "", "application/pkcs7-mime", "CMS",
       "application/pkcs7-mime; name=smime.p7m"},
      {"an OID cut short says nothing", "", "application/pkcs7-mime", enveloped.substr(0, 8),
       "application/pkcs7-mime; name=smime.p7m"},
  };
  for (const Row& r : rows) {
    msg::Message m = BasicMessage();
    m.message_class = "IPM.Note.SMIME";
    m.internet_content_type = r.item_type;
    m.attachments.push_back(File("smime.p7m", r.tag));
    FakeContent content;
    content.data = {{"smime.p7m", r.blob}};
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out->body.media_type, "application/pkcs7-mime");
    std::string text = Written(*out);
    for (size_t fold; (fold = text.find("\r\n ")) != std::string::npos;) text.replace(fold, 3, " ");
    EXPECT_NE(text.find("Content-Type: " + r.expected + "\r\n"), std::string::npos) << r.fault << "\n" << text;
    if (r.blob == "CMS") {
      EXPECT_NE(text.find("Q01T"), std::string::npos);
    }
  }
}

TEST(ComposeHelpersTest, FileNamesAndMetaCharset) {
  struct Row {
    std::string in, out;
  } rows[] = {{"report.pdf", "report.pdf"},
              {"C:\\temp\\..\\evil.exe", "evil.exe"},
              {"../../etc/passwd", "passwd"},
              {"a\x01:b*?\"<>|.txt", "a:b*?\"<>|.txt"},
              {" .hidden. ", " .hidden. "},
              {"   ", ""},
              {std::string(300, 'x'), std::string(255, 'x')},
              {std::string(254, 'x') + "é", std::string(254, 'x')}};
  for (const Row& r : rows) EXPECT_EQ(SanitizeFileName(r.in), r.out) << r.in;

  EXPECT_EQ(RewriteMetaCharset("<META charset='Shift_JIS'><meta name=x><meta content=\"text/html; charset=big5\">"),
            "<META charset='utf-8'><meta name=x><meta content=\"text/html; charset=utf-8\">");
  EXPECT_EQ(RewriteMetaCharset("<p>charset=x</p>"), "<p>charset=x</p>");
}

}  // namespace
}  // namespace formats::eml
