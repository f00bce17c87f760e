// Writes the example messages that ship in the Samples folder beside the
// programs: make_samples <output folder>. Every text and picture is our own.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/msg_fixture/msg_writer.h"

namespace {

using msg_fixture::FixtureAttachment;
using msg_fixture::FixtureMessage;

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back((v >> (8 * i)) & 0xFF);
}

void PngChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBe32(png, Crc32(body.data(), body.size()));
}

// A 16x16 bar chart (three bars on white) as a PNG with stored deflate blocks,
// so no compressor is needed.
std::vector<uint8_t> ChartPng() {
  const int w = 16, h = 16;
  std::vector<uint8_t> raw;
  const int tops[3] = {9, 4, 6};
  const uint8_t colors[3][3] = {{0x2E, 0x6F, 0xB5}, {0xE0, 0x7A, 0x1F}, {0x3C, 0xA0, 0x55}};
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < w; ++x) {
      const int bar = (x - 2) / 4;
      const bool in_bar = x >= 2 && x < 14 && (x - 2) % 4 != 3 && y >= tops[bar] && y < 15;
      for (int c = 0; c < 3; ++c) raw.push_back(in_bar ? colors[bar][c] : 0xFF);
    }
  }
  std::vector<uint8_t> z = {0x78, 0x01, 0x01};  // zlib header, final stored block
  z.push_back(raw.size() & 0xFF);
  z.push_back(raw.size() >> 8);
  z.push_back(~raw.size() & 0xFF);
  z.push_back((~raw.size() >> 8) & 0xFF);
  z.insert(z.end(), raw.begin(), raw.end());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, w);
  PutBe32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  PngChunk(png, "IHDR", ihdr);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", {});
  return png;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

FixtureMessage Mail(const std::string& subject, int day) {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, subject).Long(0x340D, 0x00040000);
  m.props.Long(0x3FDE, 65001).Long(0x0017, 1);
  const uint64_t t = msg_fixture::FileTime(2026, 3, day, 9, 30, 0);
  m.props.Time(0x0039, t).Time(0x0E06, t + 600000000ULL).Time(0x3007, t);
  m.props.Unicode(0x1035, "<sample-" + std::to_string(day) + "@mailvane.example.com>");
  msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana.whitfield@example.com");
  return m;
}

FixtureMessage PlainText() {
  FixtureMessage m = Mail("Quarterly planning notes", 2);
  m.props.Unicode(0x1000,
                  "Hello Marek,\r\n\r\nHere are the notes from this morning:\r\n"
                  "  1. Move the release review to Thursday.\r\n"
                  "  2. Collect the open questions in one list.\r\n"
                  "  3. Book the small meeting room for the demo.\r\n\r\nThanks,\r\nDana\r\n");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novak", "marek.novak@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Planning team", "planning@example.net"));
  return m;
}

FixtureMessage Html() {
  FixtureMessage m = Mail("Spring newsletter", 3);
  m.props.Unicode(0x1000, "Spring newsletter\r\n\r\nThe garden club meets again on Saturday at ten.\r\n");
  m.props.Binary(0x1013, Bytes("<html><head><meta charset=\"utf-8\"></head><body>"
                               "<h1 style=\"color:#2e6fb5\">Spring newsletter</h1>"
                               "<p>The garden club meets again on <b>Saturday at ten</b>.</p>"
                               "<ul><li>Seed swap</li><li>Pruning demo</li><li>Tea &amp; cake</li></ul>"
                               "</body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Garden club", "members@garden.example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(3, "Archive", "archive@example.com"));
  return m;
}

FixtureMessage WithAttachments() {
  FixtureMessage m = Mail("Sales chart and agenda", 4);
  m.props.Unicode(0x1000, "The chart is below and the agenda is attached.\r\n");
  m.props.Binary(0x1013, Bytes("<html><body><p>The chart is below and the agenda is attached.</p>"
                               "<p><img src=\"cid:chart.png@mailvane.example.com\" alt=\"chart\"></p>"
                               "</body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novak", "marek.novak@example.org"));
  m.attachments.push_back(
      msg_fixture::FileAttachment("chart.png", "image/png", ChartPng(), "chart.png@mailvane.example.com"));
  m.attachments.push_back(msg_fixture::FileAttachment(
      "agenda.txt", "text/plain", Bytes("Agenda\r\n10:00 Welcome\r\n10:15 Sales figures\r\n11:00 Questions\r\n")));
  return m;
}

FixtureMessage NonLatin() {
  FixtureMessage m = Mail("Привет · Γειά σου · 你好 · مرحبا", 5);
  const std::string text =
      "Русский: Доброе утро, встреча в пятницу.\r\n"
      "Ελληνικά: Καλημέρα, η συνάντηση είναι την Παρασκευή.\r\n"
      "中文：早上好，会议在星期五。\r\n"
      "日本語：おはようございます。\r\n"
      "العربية: صباح الخير، الاجتماع يوم الجمعة.\r\n";
  m.props.Unicode(0x1000, text);
  m.props.Binary(0x1013, Bytes("<html><head><meta charset=\"utf-8\"></head><body><p>Русский: Доброе утро.</p>"
                               "<p>Ελληνικά: Καλημέρα.</p><p>中文：早上好。</p>"
                               "<p dir=\"rtl\">العربية: صباح الخير.</p></body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Ирина Смирнова", "irina@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Νίκος Παπαδόπουλος", "nikos@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "王伟", "wang.wei@example.net"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "ليلى حسن", "layla@example.net"));
  return m;
}

FixtureMessage Forwarded() {
  FixtureMessage m = Mail("FW: Quarterly planning notes", 6);
  m.props.Unicode(0x1000, "Forwarding Dana's notes, see the attached message.\r\n");
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Lena Ortiz", "lena.ortiz@example.com"));
  FixtureAttachment a;
  a.props.Long(0x3705, 5).Unicode(0x3001, "Quarterly planning notes");
  a.embedded = std::make_shared<FixtureMessage>(PlainText());
  m.attachments.push_back(std::move(a));
  return m;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples <output folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const struct {
    const char* name;
    FixtureMessage message;
    int version;
  } samples[] = {
      {"Plain text.msg", PlainText(), 3},
      {"HTML newsletter.msg", Html(), 3},
      {"Chart and agenda.msg", WithAttachments(), 4},
      {"Non-Latin greetings.msg", NonLatin(), 3},
      {"Forwarded message.msg", Forwarded(), 3},
  };
  for (const auto& s : samples) {
    if (!Write(dir + s.name, msg_fixture::WriteMsg(s.message, {.version = s.version}).bytes)) {
      std::fprintf(stderr, "make_samples: cannot write %s%s\n", dir.c_str(), s.name);
      return 1;
    }
  }
  return 0;
}
