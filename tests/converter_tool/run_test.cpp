// The built quorvex, run as the application runs it: its one line, its exit code,
// and exactly what it leaves in the output folder. Each .eml is read back by
// check_eml.py, which parses it with Python's own email package.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "converter_tool/console_text.h"
#include "converter_tool/run.h"
#include "formats/cfb/compound_file.h"
#include "formats/msg/content.h"
#include "formats/msg/reader.h"
#include "tests/converter_tool/tool_test_util.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

using msg_fixture::FixtureAttachment;
using msg_fixture::FixtureMessage;
using tool_test::ListDir;
using tool_test::RunTool;
using tool_test::TempDir;

constexpr char kUsage[] = "Usage: Quorvex.exe <msg_file> <output folder>\n";

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; i += 8) {
    const uint64_t v = rng();
    std::memcpy(out.data() + i, &v, std::min<size_t>(8, n - i));
  }
  return out;
}

FixtureMessage Mail(std::string_view subject, std::string_view message_class = "IPM.Note") {
  FixtureMessage m;
  m.props.Unicode(0x001A, message_class).Unicode(0x0037, subject).Long(0x340D, 0x00040000).Long(0x3FDE, 65001);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  m.props.Unicode(0x1035, "<fixture@mailvane.example.com>");
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
  return m;
}

// Everything the composer distinguishes, in one item.
FixtureMessage RichMail() {
  FixtureMessage m = Mail("Grüße, Bericht & Fotos – März");
  m.props.Unicode(0x1000, "Hello team, the report is attached and the photo is inline.\r\n");
  m.props.Binary(0x1013, Bytes("<html><head><meta charset=\"windows-1252\"></head><body>"
                               "<p>Hello team, the report is attached and the photo is inline.</p>"
                               "<img src=\"cid:photo1@mailvane\"></body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novák", "marek@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Doe, Jane", "jane@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Ирина", "irina@example.net"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(3, "Archive", "archive@example.com"));
  m.attachments.push_back(msg_fixture::FileAttachment("photo.jpg", "image/jpeg", RandomBytes(5000, 1), "photo1@mailvane"));
  m.attachments.push_back(msg_fixture::FileAttachment("Prüfbericht März 2026.pdf", "application/pdf", RandomBytes(300000, 2)));
  // Characters file systems forbid stay in the name (RFC 2231 carries them).
  m.attachments.push_back(msg_fixture::FileAttachment("say \"hi\": v2?.txt", "text/plain", {}));
  // Carried under its own type: a message/* body cannot be base64.
  m.attachments.push_back(msg_fixture::FileAttachment(
      "status.txt", "message/delivery-status",
      Bytes("Reporting-MTA: dns; mx.example.org\r\n\r\nFinal-Recipient: rfc822; a@example.org\r\nAction: failed\r\n")));
  FixtureAttachment forwarded;
  forwarded.props.Long(0x3705, 5).Unicode(0x3001, "Earlier thread");
  forwarded.embedded = std::make_shared<FixtureMessage>(Mail("Earlier thread"));
  forwarded.embedded->props.Unicode(0x1000, "Inner message text with words.\r\n");
  forwarded.embedded->recipients.push_back(msg_fixture::SmtpRecipient(1, "", "inner@example.org"));
  forwarded.embedded->attachments.push_back(msg_fixture::FileAttachment("inner.bin", "", RandomBytes(777, 3)));
  m.attachments.push_back(std::move(forwarded));
  return m;
}

std::string WriteFixture(const TempDir& dir, const std::string& name, const FixtureMessage& m, int version = 3) {
  const std::string path = dir.path() + "/" + name;
  const auto image = msg_fixture::WriteMsg(m, {.version = version});
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.bytes.data()),
                                              static_cast<std::streamsize>(image.bytes.size()));
  return path;
}

// Reads the .msg as the tool does, for the expectation.
std::string ExpectationFor(const std::string& msg_path, const std::string& dir) {
  std::ifstream in(msg_path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  auto file = formats::cfb::CompoundFile::Open(bytes);
  if (!file) return "";
  auto m = formats::msg::ReadMessage(*file);
  if (!m) return "";
  int counter = 0;
  formats::msg::CompoundFileContent content(*file);
  return tool_test::Expectation(*m, dir, counter, true, &content);
}

// Runs the tool into an empty folder and checks the one .eml it must leave.
void ExpectConverts(const std::string& msg_path, const std::string& folder_arg, const std::string& folder) {
  ASSERT_TRUE(ListDir(folder).empty());
  const tool_test::ToolResult r = RunTool({msg_path, folder_arg});
  EXPECT_EQ(r.output, "") << msg_path;
  EXPECT_EQ(r.exit_code, 0);
  const std::set<std::string> names = ListDir(folder);
  ASSERT_EQ(names.size(), 1u) << msg_path;
  const std::string name = *names.begin();
  EXPECT_EQ(name.size(), 40u) << name;  // 36-character UUID + ".eml"
  EXPECT_EQ(name.substr(36), ".eml");
  EXPECT_EQ(name[14], '4') << "UUID version 4";
  TempDir scratch;
  const std::string expected = ExpectationFor(msg_path, scratch.path());
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(tool_test::CheckEml(folder + "/" + name, expected, scratch.path()), "") << msg_path;
}

// folder: where nothing may change ("" when it is not ours to list, like /proc).
void ExpectFails(const std::vector<std::string>& args, const std::string& folder, const std::string& line_start) {
  const std::set<std::string> before = folder.empty() ? std::set<std::string>() : ListDir(folder);
  const tool_test::ToolResult r = RunTool(args);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output.substr(0, line_start.size()), line_start) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << "exactly one line: " << r.output;
  EXPECT_TRUE(std::all_of(r.output.begin(), r.output.end() - 1, [](char c) { return c >= 0x20 && c != 0x7F; }))
      << "control character in the line: " << r.output;
  if (!folder.empty()) {
    EXPECT_EQ(ListDir(folder), before) << "the folder changed";
  }
}

TEST(ToolTest, UsageLineWithFewerThanTwoArguments) {
  TempDir out;
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"x.msg"}}) {
    const tool_test::ToolResult r = RunTool(args);
    EXPECT_EQ(r.output, kUsage);
    EXPECT_EQ(r.exit_code, 0);
  }
  EXPECT_TRUE(ListDir(out.path()).empty());
  EXPECT_EQ(converter::Run({"quorvex"}), "Usage: Quorvex.exe <msg_file> <output folder>");
}

TEST(ToolTest, RichFixtureConvertsWithEveryPart) {
  TempDir in, out;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail());
  ExpectConverts(msg, out.path(), out.path());
}

// An item of `message_class` sent by (name, address).
FixtureMessage From(std::string_view subject, std::string_view message_class, std::string_view name,
                    std::string_view address) {
  FixtureMessage m;
  m.props.Unicode(0x001A, message_class).Unicode(0x0037, subject).Long(0x340D, 0x00040000).Long(0x3FDE, 65001);
  m.props.Time(0x0039, msg_fixture::FileTime(2026, 3, 14, 15, 9, 26));
  msg_fixture::SetSmtpSender(m.props, name, address);
  return m;
}

// A rich-text item: its RTF (stored uncompressed) and the plain text Outlook
// keeps beside it; `in_sync` sets PidTagRtfInSync, and a false one goes with a
// sync tag the plain text does not start with.
FixtureMessage RichTextMail(bool in_sync) {
  static constexpr std::string_view kPng =
      "89504e470d0a1a0a0000000d49484452000000180000001808020000006f15aaaf000000294944415478da6338a1718220922302"
      "318c1a346ad0a841040cb22188e48840a3068d1a346a105e0400a8bb815f224641160000000049454e44ae426082";
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}"
      "{\\f2\\fcharset2 Symbol;}}{\\colortbl;\\red192\\green0\\blue0;}\\fs20\r\n"
      "\\pard{\\fs36\\b Quarterly figures}\\par\r\n"
      "Words in {\\i italic}, {\\ul underline}, {\\strike struck}, {\\cf1 red} and {\\f1 Times}.\\par\r\n"
      "{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2{\\pntxtb\\'b7}}\\fi-360\\li720 First bullet\\par\r\n"
      "{\\pntext\\f2\\'b7\\tab}Second bullet\\par\r\n"
      "\\pard{\\listtext 1.\\tab}\\ls1\\fi-360\\li720 Step one\\par{\\listtext 2.\\tab}Step two\\par\r\n"
      "\\pard\\trowd\\cellx2000\\cellx4000\\intbl Region\\cell Total\\cell\\row"
      "\\trowd\\cellx2000\\cellx4000\\intbl North\\cell 42\\cell\\row\r\n"
      "\\pard See {\\field{\\*\\fldinst HYPERLINK \"https://example.com/report\"}{\\fldrslt\\ul report}} online."
      "\\line Next line.\\par\r\n"
      "{\\*\\shppict{\\pict\\pngblip\\picwgoal720\\pichgoal720 " + std::string(kPng) +
      "}}{\\nonshppict{\\pict\\wmetafile8 0102}}{\\pict\\emfblip 0102030405}\\par\r\n"
      "Chart {\\*\\objattph} here and notes {\\*\\objattph} there.\\par\\page After the break.\\par}";
  FixtureMessage m = Mail(in_sync ? "Rich text" : "Stale rich text");
  m.props.Unicode(0x1000,
                  "Quarterly figures\r\nWords in italic, underline, struck, red and Times.\r\nFirst bullet\r\n"
                  "Second bullet\r\n1.\tStep one\r\n2.\tStep two\r\nRegion\tTotal\r\nNorth\t42\r\n"
                  "See report online.\r\nNext line.\r\n\r\nChart  here and notes  there.\r\nAfter the break.\r\n");
  m.props.Binary(0x1009, msg_fixture::StoredRtf(rtf)).Bool(0x0E1F, in_sync);
  if (!in_sync) m.props.Unicode(0x1008, "OLDERTEXTTHAN");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek", "marek@example.org"));
  std::vector<uint8_t> png;
  for (size_t i = 0; i + 1 < kPng.size(); i += 2) png.push_back(static_cast<uint8_t>(std::stoi(std::string(kPng.substr(i, 2)), nullptr, 16)));
  m.attachments.push_back(msg_fixture::FileAttachment("notes.txt", "text/plain", Bytes("notes")));
  m.attachments.back().props.Long(0x370B, 40);
  m.attachments.push_back(msg_fixture::FileAttachment("chart.png", "image/png", png));
  m.attachments.back().props.Long(0x370B, 6);
  m.attachments.push_back(msg_fixture::FileAttachment("unplaced.png", "image/png", png));
  m.attachments.back().props.Long(0x370B, 0xFFFFFFFF);
  return m;
}

// Reports, Outlook's own states, names and rich-text bodies end to end: each
// converts, both readers agree on it, the email package finds the report with
// its machine part's recipients (check_eml.py), and the file holds these lines
// in this order.
TEST(ToolTest, ItemsKeepTheirInternetForms) {
  // A non-delivery report, in the original sender's mailbox, about two recipients.
  FixtureMessage ndr = From("Undeliverable: Budget", "REPORT.IPM.Note.NDR", "Mail Delivery System", "postmaster@example.com");
  ndr.props.Unicode(0x1000, "Delivery has failed to these recipients or groups.\r\n");
  ndr.props.Unicode(0x6820, "mx.example.com").Time(0x004E, msg_fixture::FileTime(2026, 3, 14, 15, 0, 0));
  ndr.props.Unicode(0x0040, "Dana Whitfield").Unicode(0x0075, "SMTP").Unicode(0x0076, "dana@example.com");
  ndr.recipients.push_back(msg_fixture::SmtpRecipient(1, "Gone", "gone@example.org").Long(0x0C05, 35).Long(0x0C04, 1));
  ndr.recipients.push_back(
      msg_fixture::SmtpRecipient(1, "Full", "full@example.net").Unicode(0x0C1B, "<mx2.example.net #5.2.2 mailbox full>"));

  // A delivery report that holds the original.
  FixtureMessage dr = From("Delivered: Budget", "REPORT.IPM.Note.DR", "Mail Delivery System", "postmaster@example.com");
  dr.props.Unicode(0x1000, "Your message has been delivered to these recipients.\r\n");
  dr.props.Unicode(0x0040, "Dana Whitfield").Unicode(0x0075, "SMTP").Unicode(0x0076, "dana@example.com");
  dr.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek", "marek@example.org").Long(0x0C20, 250));
  FixtureAttachment original;
  original.props.Long(0x3705, 5).Unicode(0x3001, "Budget");
  original.embedded = std::make_shared<FixtureMessage>(Mail("Budget"));
  original.embedded->recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek", "marek@example.org"));
  dr.attachments.push_back(std::move(original));

  // A read report: sent by the reader, to the original's sender.
  FixtureMessage read = From("Read: Budget", "REPORT.IPM.Note.IPNRN", "Marek", "marek@example.org");
  read.props.Unicode(0x1000, "Your message was read on Saturday.\r\n").Unicode(0x1046, "<budget@example.com>");
  read.props.Unicode(0x0080, "displayed").Unicode(0x0081, "manual-action/MDN-sent-manually");
  read.props.Unicode(0x0040, "Dana Whitfield").Unicode(0x0075, "SMTP").Unicode(0x0076, "dana@example.com");
  read.recipients.push_back(msg_fixture::SmtpRecipient(1, "Dana Whitfield", "dana@example.com"));

  FixtureMessage unsent = Mail("Draft reply");
  unsent.props.Unicode(0x1000, "Not sent yet.\r\n").Long(0x0E07, 0x9);
  std::vector<uint8_t> index = {1};
  for (uint8_t c = 'A'; c < 'A' + 21; ++c) index.push_back(c);
  FixtureMessage thread = Mail("RE: Budget");
  thread.props.Unicode(0x1000, "In the thread.\r\n").Binary(0x0071, index).Unicode(0x0070, "Budget");
  FixtureMessage flagged = Mail("Call me");
  flagged.props.Unicode(0x1000, "Please call.\r\n").Long(0x1090, 2).Unicode(0x8000, "Call back");
  flagged.named_properties.push_back(
      {{0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}, "", 0x8530});

  // Names every reader can read: a sender name with a line break and a trace
  // field in it, a To name that needs two encoded words, an embedded message
  // whose only file name in its script is the display name.
  FixtureMessage names = From("Names", "IPM.Note", "Lab (MSD)\r\nReceived: from evil.example", "dana@example.com");
  names.props.Unicode(0x1000, "Names.\r\n");
  names.recipients.push_back(msg_fixture::SmtpRecipient(1, "Свиридов Дмитрий Владимирович", "d@example.ru"));
  FixtureAttachment devanagari;
  devanagari.props.Long(0x3705, 5).Unicode(0x3001, "अइउ").Unicode(0x3704, "???.msg");
  devanagari.embedded = std::make_shared<FixtureMessage>(Mail("Inner"));
  names.attachments.push_back(std::move(devanagari));

  // Names that repeat their address, as some writers store them.
  FixtureMessage doubled = From("Doubled", "IPM.Note", "test@gmail.com <test@gmail.com>", "test@gmail.com");
  doubled.props.Unicode(0x1000, "Doubled.\r\n");
  doubled.recipients.push_back(msg_fixture::SmtpRecipient(1, "\"Pat Lee\" <PAT@example.org>", "pat@example.org"));
  doubled.recipients.push_back(msg_fixture::SmtpRecipient(2, "Ann@Example.org", "ann@example.org"));

  // A file packaged as an OLE object, and the dates attachments store.
  FixtureMessage package = Mail("Package");
  package.props.Unicode(0x1000, "Package.\r\n");
  FixtureAttachment ole;
  ole.props.Long(0x3705, 6).Unicode(0x3001, "OLE Package").Time(0x3007, msg_fixture::FileTime(2026, 3, 1, 9, 30, 0));
  ole.object = {msg_fixture::Node::Stream("\x01Ole10Native",
                                          msg_fixture::PackageStream("Attach.txt", "C:\\Users\\dana\\Attach.txt", "packaged text\r\n"))};
  package.attachments.push_back(std::move(ole));
  package.attachments.push_back(msg_fixture::FileAttachment("dated.pdf", "application/pdf", Bytes("%PDF-1.4")));
  package.attachments.back().props.Time(0x3007, msg_fixture::FileTime(2026, 2, 28, 23, 59, 59))
      .Time(0x3008, msg_fixture::FileTime(2026, 3, 2, 8, 0, 1));

  const struct {
    const char* name;
    const FixtureMessage& message;
    std::vector<std::string> in_order;
  } rows[] = {
      {"doubled.msg", doubled, {"From: test@gmail.com\r\n", "To: Pat Lee <pat@example.org>\r\n", "Cc: ann@example.org\r\n"}},
      {"package.msg", package,
       {"Content-Type: text/plain; name=Attach.txt\r\n",
        "Content-Disposition: attachment; filename=Attach.txt;\r\n creation-date=\"Sun, 1 Mar 2026 09:30:00 +0000\"\r\n",
        "cGFja2FnZWQgdGV4dA0K\r\n", "Content-Disposition: attachment; filename=dated.pdf;\r\n"
        " creation-date=\"Sat, 28 Feb 2026 23:59:59 +0000\";\r\n modification-date=\"Mon, 2 Mar 2026 08:00:01 +0000\"\r\n"}},
      {"names.msg", names,
       {"From: \"Lab (MSD)  Received: from evil.example\" <dana@example.com>\r\n",
        "To: =?utf-8?Q?=D0=A1=D0=B2=D0=B8=D1=80=D0=B8=D0=B4=D0=BE=D0=B2_?=\r\n", "filename*=utf-8''%E0%A4%85%E0%A4%87%E0%A4%89.eml"}},
      {"ndr.msg", ndr,
       {"To: Dana Whitfield <dana@example.com>\r\n", "report-type=delivery-status",
        "Content-Type: message/delivery-status\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
        "Reporting-MTA: dns; mx.example.com\r\nArrival-Date: Sat, 14 Mar 2026 15:00:00 +0000\r\n\r\n"
        "Final-Recipient: rfc822; gone@example.org\r\nAction: failed\r\nStatus: 5.1.1\r\n\r\n"
        "Final-Recipient: rfc822; full@example.net\r\nAction: failed\r\nStatus: 5.2.2\r\n"
        "Remote-MTA: dns; mx2.example.net\r\nDiagnostic-Code: smtp; mailbox full\r\n"}},
      {"dr.msg", dr,
       {"To: Dana Whitfield <dana@example.com>\r\n", "report-type=delivery-status",
        "Reporting-MTA: dns; example.com\r\n\r\nFinal-Recipient: rfc822; marek@example.org\r\n"
        "Action: delivered\r\nStatus: 2.5.0\r\n\r\n--",
        "Content-Type: message/rfc822\r\n", "Subject: Budget\r\n"}},
      {"read.msg", read,
       {"To: Dana Whitfield <dana@example.com>\r\n", "report-type=disposition-notification",
        "Content-Type: message/disposition-notification\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
        "Final-Recipient: rfc822; marek@example.org\r\nOriginal-Message-ID: <budget@example.com>\r\n"
        "Disposition: manual-action/MDN-sent-manually; displayed\r\n"}},
      {"unsent.msg", unsent, {"X-Unsent: 1\r\n"}},
      {"thread.msg", thread, {"Thread-Index: AUFCQ0RFRkdISUpLTE1OT1BRUlNUVQ==\r\nThread-Topic: Budget\r\n"}},
      {"flagged.msg", flagged, {"X-Message-Flag: Call back\r\n"}},
      {"rich-text.msg", RichTextMail(true),
       {"multipart/mixed", "multipart/related", "multipart/alternative", "Content-Type: text/plain",
        "<b><span style=\"font-family:'Arial',sans-serif;font-size:18pt;\">Quarterly", "italic</span></i>",
        "color:#c00000;", "font-family:'Times New Roman',serif;", "<ul><li", "First bullet</span></li>",
        "Second bullet</span></li>\r\n</ul>", "<ol><li value=\"1\">", "Step one", "<li value=\"2\">", "Step two",
        "</ol>", "<table", "<td><span", "Region", "<td><span", "42</span></td></tr>", "</table>",
        "<a href=\"https://example.com/report\">", "<br>", "<img src=\"cid:image1.",
        "Chart <img src=\"cid:attachment2.", "alt=\"chart.png\">", "After the break",
        "name=picture1.png\r\n", "Content-ID: <image1.", "Content-Disposition: inline; filename=picture1.png",
        "name=chart.png\r\n", "Content-ID: <attachment2.", "Content-Disposition: inline; filename=chart.png",
        "filename=notes.txt", "filename=unplaced.png", "Content-Type: image/emf; name=picture2.emf"}},
      {"stale-rich-text.msg", RichTextMail(false), {"<pre", "Quarterly figures\r\nWords in italic"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    TempDir in, out;
    ExpectConverts(WriteFixture(in, r.name, r.message), out.path(), out.path());
    ASSERT_EQ(ListDir(out.path()).size(), 1u);
    std::ifstream f(out.path() + "/" + *ListDir(out.path()).begin(), std::ios::binary);
    std::string eml((std::istreambuf_iterator<char>(f)), {});
    // A rendered HTML is quoted-printable: soft breaks and "=3D" undone, lines match.
    for (const std::string_view code : {"=\r\n", "=3D"}) {
      if (std::string_view(r.name).find("rich-text") == std::string_view::npos) break;
      for (size_t at = 0; (at = eml.find(code, at)) != std::string::npos;) eml.replace(at, code.size(), code == "=3D" ? "=" : "");
    }
    size_t pos = 0;
    if (std::string_view(r.name) == "stale-rich-text.msg") {
      EXPECT_EQ(eml.find("<ul>"), std::string::npos);
    }
    for (const std::string& line : r.in_order) {
      const size_t at = eml.find(line, pos);
      EXPECT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n" << eml;
      if (at != std::string::npos) pos = at + line.size();
    }
  }
}

TEST(ToolTest, FolderFormsAndThirdArgument) {
  TempDir in, out;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail(), 4);
  std::filesystem::create_directories(out.path() + "/a/b");
  const std::string nested = out.path() + "/a/b";
  const struct {
    std::string arg;
    std::string folder;
  } forms[] = {
      {out.path(), out.path()},
      {out.path() + "/", out.path()},
      {out.path() + "//a//b//", nested},
      {out.path() + "/a/b", nested},
  };
  for (const auto& f : forms) {
    std::filesystem::remove_all(nested);
    for (const auto& name : ListDir(out.path())) std::filesystem::remove(out.path() + "/" + name);
    std::filesystem::create_directories(nested);
    if (f.folder == out.path()) std::filesystem::remove_all(out.path() + "/a");
    SCOPED_TRACE(f.arg);
    ExpectConverts(msg, f.arg, f.folder);
  }
  // A third argument is ignored.
  for (const auto& name : ListDir(out.path())) std::filesystem::remove_all(out.path() + "/" + name);
  const tool_test::ToolResult r = RunTool({msg, out.path(), "extra"});
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(ListDir(out.path()).size(), 1u);
}

TEST(ToolTest, ExistingFilesAreNeverTouched) {
  TempDir in, out;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail());
  // Files named like attachments and like earlier results stay as they were.
  for (std::string name : {"photo.jpg", "Prüfbericht März 2026.pdf", "old.eml"}) {
    std::ofstream(out.path() + "/" + name) << "mine";
  }
  const tool_test::ToolResult r = RunTool({msg, out.path()});
  EXPECT_EQ(r.output, "");
  std::set<std::string> names = ListDir(out.path());
  EXPECT_EQ(names.size(), 4u);
  for (std::string name : {"photo.jpg", "Prüfbericht März 2026.pdf", "old.eml"}) {
    std::ifstream f(out.path() + "/" + name);
    std::string content((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(content, "mine") << name;
  }
}

TEST(ToolTest, FailuresPrintOneLineAndLeaveNothing) {
  TempDir in, out;
  FixtureMessage contact = Mail("Card", "IPM.Contact");
  FixtureMessage draft;
  draft.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, "Draft").Unicode(0x1000, "unsent");
  FixtureMessage exchange_only = Mail("Internal");
  exchange_only.recipients.push_back(msg_fixture::Properties()
                                         .Long(0x0C15, 1)
                                         .Unicode(0x3001, "Pat Lee")
                                         .Unicode(0x3002, "EX")
                                         .Unicode(0x3003, "/O=ORG/OU=EXCHANGE/CN=RECIPIENTS/CN=PLEE"));
  // A hostile name: a vertical tab, "clear screen", a line separator, DEL, NEL.
  FixtureMessage hostile = Mail("Internal");
  hostile.recipients.push_back(msg_fixture::Properties()
                                   .Long(0x0C15, 1)
                                   .Unicode(0x3001, "Pat\vLee\x1B[2J\u2028\x7F\u0085!")
                                   .Unicode(0x3002, "EX")
                                   .Unicode(0x3003, "/O=ORG/OU=EXCHANGE/CN=RECIPIENTS/CN=PLEE"));
  // Forwarded inside forwarded, one level deeper than the reader goes.
  FixtureMessage deep = Mail("Level 17");
  for (int level = 16; level >= 0; --level) {
    FixtureMessage outer = Mail("Level " + std::to_string(level));
    FixtureAttachment a;
    a.props.Long(0x3705, 5).Unicode(0x3001, "inner");
    a.embedded = std::make_shared<FixtureMessage>(std::move(deep));
    outer.attachments.push_back(std::move(a));
    deep = std::move(outer);
  }
  const std::string garbage = in.path() + "/garbage.msg";
  std::ofstream(garbage) << std::string(3000, 'x');

  const struct {
    std::vector<std::string> args;
    std::string line;
  } rows[] = {
      {{WriteFixture(in, "contact.msg", contact), out.path()}, "Item is not a mail message (IPM.Contact)"},
      {{WriteFixture(in, "draft.msg", draft), out.path()}, "Sender has no Internet mail address (the item has no sender: an unsent draft)"},
      {{WriteFixture(in, "ex.msg", exchange_only), out.path()}, "Recipient \"Pat Lee\" has no Internet mail address"},
      {{WriteFixture(in, "hostile.msg", hostile), out.path()},
       "Recipient \"Pat\\x0BLee\\x1B[2J\\u{2028}\\x7F\\u{0085}!\" has no Internet mail address"},
      {{garbage, out.path()}, "Cannot read the message: "},
      {{WriteFixture(in, "deep.msg", deep), out.path()}, "Cannot read the message: messages embedded more than 16"},
      {{in.path() + "/missing.msg", out.path()}, "Cannot open " + in.path() + "/missing.msg: No such file"},
      {{in.path(), out.path()}, "Cannot open " + in.path() + ": not a regular file"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.line);
    ExpectFails(r.args, out.path(), r.line);
    EXPECT_TRUE(ListDir(out.path()).empty());
  }
}

TEST(ToolTest, ConsoleTextEscapesWhatATerminalWouldObey) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"plain ASCII, blanks and \\ stay", "plain ASCII, blanks and \\ stay"},
      {std::string("a\0b\tc\rd\ne\x1F\x7F", 11), "a\\x00b\\x09c\\x0Dd\\x0Ae\\x1F\\x7F"},
      {"\xC2\x80\xC2\x9F\xC2\xA0\xC3\xA9", "\\u{0080}\\u{009F}\xC2\xA0\xC3\xA9"},  // C1 escaped, NBSP and é kept
      {"\xE2\x80\xA7\xE2\x80\xA8\xE2\x80\xA9\xF0\x9F\x98\x80", "\xE2\x80\xA7\\u{2028}\\u{2029}\xF0\x9F\x98\x80"},
      // Not UTF-8: a lone 8-bit CSI, an overlong ESC, a surrogate, a cut sequence.
      {"\x9B" "2J \xC0\x9B \xED\xA0\x80 \xE2\x80", "\\x9B2J \\xC0\\x9B \\xED\\xA0\\x80 \\xE2\\x80"},
  };
  for (const auto& r : rows) EXPECT_EQ(converter::ConsoleText(r.in), r.out) << r.in;
}

TEST(ToolTest, UnwritableOrMissingFolderFailsCleanly) {
  TempDir in, out;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail());
  ExpectFails({msg, out.path() + "/missing"}, out.path(), "Output folder " + out.path() + "/missing: No such file");
  ExpectFails({msg, in.path() + "/rich.msg"}, in.path(), "Output folder " + in.path() + "/rich.msg is not a folder");
  // /proc takes no new files, not even from root.
  ExpectFails({msg, "/proc"}, "", "Cannot write to the output folder /proc: ");
  if (geteuid() != 0) {
    chmod(out.path().c_str(), 0555);
    ExpectFails({msg, out.path()}, out.path(), "Cannot write to the output folder");
    chmod(out.path().c_str(), 0755);
  }
}

TEST(ToolTest, FullDiskLeavesNeitherEmlNorTemporaryFile) {
  TempDir in, out;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail());
  for (rlim_t limit : {rlim_t{1}, rlim_t{1000}, rlim_t{300000}}) {
    const tool_test::ToolResult r = RunTool({msg, out.path()}, limit);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.output.find("Cannot write"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("File too large"), std::string::npos) << r.output;
    EXPECT_TRUE(ListDir(out.path()).empty()) << limit;
  }
}

TEST(ToolTest, FolderRemovedDuringTheRunFailsCleanly) {
  TempDir in, parent;
  const std::string msg = WriteFixture(in, "rich.msg", RichMail());
  const std::string folder = parent.path() + "/out";
  std::filesystem::create_directory(folder);
  formats::mime::WriteOptions options;
  options.next_boundary = [&folder] {
    // Mid-write: the temporary file is open; take the folder away under it.
    for (const auto& name : ListDir(folder)) std::filesystem::remove(folder + "/" + name);
    std::filesystem::remove(folder);
    return formats::mime::RandomBoundary();
  };
  auto result = converter::ConvertFile(msg, folder, {}, options);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, formats::ErrorCode::kIo);
  EXPECT_NE(result.error().detail.find("Cannot create the .eml"), std::string::npos) << result.error().detail;
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(ToolTest, LargeAttachmentStreamsInBoundedMemory) {
  // 24 MB of attachment is 32 MB of base64: a writer that held either in memory
  // could not run under a 16 MB cap on private memory (the mapped input does not
  // count against it).
  TempDir in, out;
  FixtureMessage m = Mail("Big");
  m.props.Unicode(0x1000, "see attachment");
  m.attachments.push_back(msg_fixture::FileAttachment("big.bin", "", RandomBytes(24u << 20, 9)));
  const std::string msg = WriteFixture(in, "big.msg", m, 4);
  m = {};
#if defined(__SANITIZE_ADDRESS__)
  const rlim_t data_limit = 0;  // the sanitizer's shadow memory alone is far beyond any cap
#else
  const rlim_t data_limit = 16u << 20;
#endif
  const tool_test::ToolResult r = RunTool({msg, out.path()}, 0, data_limit);
  EXPECT_EQ(r.output, "");
  ASSERT_EQ(ListDir(out.path()).size(), 1u);
  TempDir scratch;
  EXPECT_EQ(tool_test::CheckEml(out.path() + "/" + *ListDir(out.path()).begin(), ExpectationFor(msg, scratch.path()),
                                scratch.path()),
            "");
}

TEST(ToolTest, TerminatedRunRemovesItsTemporaryFile) {
  TempDir in, out;
  FixtureMessage m = Mail("Big");
  m.props.Unicode(0x1000, "see attachment");
  m.attachments.push_back(msg_fixture::FileAttachment("big.bin", "", RandomBytes(48u << 20, 11)));
  const std::string msg = WriteFixture(in, "big.msg", m, 4);
  m = {};
  bool caught = false;
  for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
    for (const auto& name : ListDir(out.path())) std::filesystem::remove(out.path() + "/" + name);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null_fd = open("/dev/null", O_WRONLY);
      dup2(null_fd, 1);
      execl(QUORVEX_PATH, QUORVEX_PATH, msg.c_str(), out.path().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Wait for the temporary file to appear, then stop the run under it.
    for (int i = 0; i < 5000 && !caught; ++i) {
      for (const auto& name : ListDir(out.path())) {
        if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp") caught = true;
      }
      if (!caught) usleep(200);
    }
    if (caught) kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (caught && WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), SIGTERM);
      EXPECT_TRUE(ListDir(out.path()).empty()) << *ListDir(out.path()).begin();
    } else {
      caught = false;  // the run finished first: try again
    }
  }
  if (!caught) GTEST_SKIP() << "the run always finished before it could be stopped";
}

// Which corpus files may fail, and with which line: items that are not mail, and
// items without any Internet address for their sender (unsent drafts, Exchange
// senders the file gives no SMTP address for).
bool AcceptableFailure(const std::string& line) {
  return line.rfind("Item is not a mail message (", 0) == 0 || line.rfind("Sender has no Internet mail address (", 0) == 0;
}

void RunFolder(const std::string& root, int& converted) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && e.path().extension() == ".msg") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << root;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    TempDir out;
    const tool_test::ToolResult r = RunTool({file, out.path()});
    EXPECT_EQ(r.exit_code, 0);
    const std::string shown = file.substr(root.size() + 1);
    if (!r.output.empty()) {
      std::cout << "  " << shown << ": " << r.output;
      EXPECT_TRUE(ListDir(out.path()).empty());
      // A file the reader itself rejects fails with a read error; that the test
      // accepts too only for files the reader cannot open.
      TempDir scratch;
      if (!ExpectationFor(file, scratch.path()).empty()) {
        EXPECT_TRUE(AcceptableFailure(r.output)) << r.output;
      }
      continue;
    }
    std::cout << "  " << shown << ": converted\n";
    ++converted;
    const std::set<std::string> names = ListDir(out.path());
    ASSERT_EQ(names.size(), 1u);
    TempDir scratch;
    EXPECT_EQ(tool_test::CheckEml(out.path() + "/" + *names.begin(), ExpectationFor(file, scratch.path()),
                                  scratch.path()),
              "");
  }
}

TEST(ToolTest, EveryCorpusFile) {
  int converted = 0;
  RunFolder(CORPUS_DIR, converted);
  EXPECT_GE(converted, 30);
}

TEST(ToolTest, EverySampleFile) {
  int converted = 0;
  RunFolder(SAMPLES_DIR, converted);
  EXPECT_EQ(converted, 5);
}

}  // namespace
