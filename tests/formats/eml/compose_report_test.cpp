#include <gtest/gtest.h>

#include "formats/eml/compose.h"
#include "tests/formats/eml/compose_test_util.h"
#include "tests/formats/mime/mime_test_util.h"

namespace formats::eml {
namespace {

using namespace compose_testing;

// A report converts with what its properties give and never fails for them.
TEST(ComposeTest, ReportsKeepWhatMakesThemReports) {
  auto ndr = [](msg::Message& m) {
    m.message_class = "REPORT.IPM.Note.NDR";
    m.recipients = {Recip(1, Smtp("Gone", "gone@example.org"))};
    m.extras.recipients.resize(1);
  };
  struct Row {
    const char* fault;
    std::function<void(msg::Message&)> setup;
    std::vector<std::string> in_order;  // in the written file, in this order
    std::vector<std::string> absent;
    std::string shape;
  } rows[] = {
      {"an Exchange-only recipient of the original neither fails nor goes to To",
       [&](msg::Message& m) {
         ndr(m);
         m.recipients.push_back(Recip(1, Exchange("Internal")));
         m.extras.recipients.resize(2);
         m.extras.original_sender = Smtp("Owner", "owner@example.com");
       },
       {"To: Owner <owner@example.com>\r\n", "Reporting-MTA: dns; example.com\r\n",
        "Final-Recipient: rfc822; gone@example.org\r\nAction: failed\r\nStatus: 5.0.0\r\n\r\n--"},
       {"gone@example.org>", "/O=ORG"}, "multipart/report(text/html,message/delivery-status)"},
      {"the stored block's To names the addressee; stored codes that contradict the class are not written",
       [&](msg::Message& m) {
         ndr(m);
         m.transport_headers = "To: Sender <sender@example.com>\r\n";
         m.extras.received_by = Smtp("Other", "other@example.com");
         m.extras.reporting_mta = "dns; mx\x01.example.com\xc3\xa9";
         m.extras.recipients[0].status_code = 250;
         m.extras.recipients[0].supplementary_info = "<#4.4.7 late>";
       },
       {"To: Sender <sender@example.com>\r\n", "Reporting-MTA: dns; mx .example.com??\r\n",
        "Status: 5.0.0\r\nDiagnostic-Code: smtp; late\r\n"},
       {"other@example.com", "Status: 2.5.0", "4.4.7"}, ""},
      {"a stored status code wins over the diagnostic code, which wins over the default",
       [&](msg::Message& m) {
         ndr(m);
         m.recipients.push_back(Recip(1, Smtp("", "b@example.org")));
         m.extras.recipients.resize(2);
         m.extras.recipients[0].status_code = 522;
         m.extras.recipients[0].diag_code = 35;
         m.extras.recipients[1].diag_code = 5;
         m.extras.recipients[1].remote_mta = "mx.example.org";
         m.extras.recipients[1].supplementary_info = std::string(2000, 'x');
       },
       {"Status: 5.2.2\r\n", "Final-Recipient: rfc822; b@example.org\r\nAction: failed\r\nStatus: 5.4.7\r\n"
        "Remote-MTA: dns; mx.example.org\r\nDiagnostic-Code: smtp; " + std::string(900, 'x') + "\r\n"},
       {"5.1.1"}, ""},
      {"without a recipient to name the report stays a letter",
       [&](msg::Message& m) {
         ndr(m);
         m.recipients = {Recip(1, Exchange("Internal"))};
       },
       {}, {"multipart/report", "Exchange"}, "text/html"},
      {"a not-read report with odd stored disposition values takes the class's",
       [](msg::Message& m) {
         m.message_class = "REPORT.IPM.Note.IPNNRN";
         m.in_reply_to = "<orig@example.com>";
         m.extras.disposition = "eaten";
         m.extras.disposition_mode = "by-hand";
         m.extras.received_by = Smtp("Asker", "asker@example.com");
       },
       {"To: Asker <asker@example.com>\r\n", "report-type=disposition-notification",
        "Final-Recipient: rfc822; jane@example.com\r\nOriginal-Message-ID: <orig@example.com>\r\n"
        "Disposition: automatic-action/MDN-sent-automatically; deleted\r\n"},
       {"eaten", "by-hand"}, "multipart/report(text/html,message/disposition-notification)"},
      {"the original goes third, other attachments stay with the body",
       [](msg::Message& m) {
         m.message_class = "REPORT.IPM.Schedule.Meeting.Request.DR";
         m.recipients = {Recip(1, Smtp("", "r@example.org"))};
         m.attachments.push_back(File("log.txt"));
         msg::Attachment original;
         original.method = msg::AttachMethod::kEmbeddedMessage;
         original.filename = "Meeting";
         original.embedded = std::make_unique<msg::Message>(BasicMessage());
         m.attachments.push_back(std::move(original));
       },
       {"Action: delivered\r\nStatus: 2.0.0\r\n"}, {},
       "multipart/report(multipart/mixed(text/html,text/plain),message/delivery-status,message/rfc822)"},
      {"a delivery status the item stores is the report's own, even where the properties give none",
       [&](msg::Message& m) {
         ndr(m);
         m.recipients = {Recip(1, Exchange("Internal"))};
         m.attachments.push_back(File("status.txt", "message/delivery-status"));
         m.attachments.back().data = msg::StreamRef(nullptr, 0, 109);
       },
       {"Reporting-MTA: dns; mx.example.net\r\n\r\nFinal-Recipient: rfc822; x@example.org\r\n"}, {"Exchange"},
       "multipart/report(text/html,message/delivery-status)"},
      {"a letter's states: unsent, its thread, its flag without text",
       [](msg::Message& m) {
         m.extras.unsent = true;
         m.extras.conversation_index = {0xFB, 0xFF};
         m.extras.conversation_topic = "Gr\xc3\xbc\xc3\x9f" "e";
         m.extras.flagged = true;
       },
       {"X-Unsent: 1\r\nThread-Index: +/8=\r\nThread-Topic: =?utf-8?", "X-Message-Flag: Follow up\r\n"}, {},
       "text/html"},
      {"the stored block's own fields win",
       [](msg::Message& m) {
         m.transport_headers = "X-Unsent: 0\r\nThread-Index: stored\r\nThread-Topic: stored\r\nX-Message-Flag: stored\r\n";
         m.extras.unsent = true;
         m.extras.conversation_index = {1};
         m.extras.conversation_topic = "ours";
         m.extras.flagged = true;
         m.extras.flag_request = "ours";
       },
       {"X-Unsent: 0\r\nThread-Index: stored\r\nThread-Topic: stored\r\nX-Message-Flag: stored\r\n"},
       {"X-Unsent: 1", "AQ==", "ours"}, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    msg::Message m = BasicMessage();
    r.setup(m);
    FakeContent content;
    content.data = {{"status.txt", "Reporting-MTA: dns; mx.example.net\r\n\r\nFinal-Recipient: rfc822; x@example.org\r\n"
                                   "Action: failed\r\nStatus: 5.1.1\r\n"}};
    Result<mime::Message> out = ComposeMessage(m, content, Fixed());
    ASSERT_TRUE(out.ok()) << out.error().detail;
    const std::string text = Written(*out);
    size_t pos = 0;
    for (const std::string& line : r.in_order) {
      const size_t at = text.find(line, pos);
      EXPECT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n" << text;
      if (at != std::string::npos) pos = at + line.size();
    }
    for (const std::string& t : r.absent) EXPECT_EQ(text.find(t), std::string::npos) << t << "\n" << text;
    if (!r.shape.empty()) {
      EXPECT_EQ(Shape(out->body), r.shape);
    }
  }
}

}  // namespace
}  // namespace formats::eml
