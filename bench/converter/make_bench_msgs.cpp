// make_bench_msgs <folder> [small count [large sizes in MiB, comma separated]]
//
// Writes the converter's benchmark inputs into <folder>:
//   small/NNNN.msg   items of a few KB: HTML body, 2-3 recipients, one small attachment
//   big100.msg       one item with a 100 MiB attachment (big100.bin holds its bytes)
//   big200.msg       one item with a 200 MiB attachment (big200.bin holds its bytes)
// Attachment bytes come from a fixed pseudo-random sequence: incompressible, and the
// same on every run, so the sha256 of a decoded attachment can be checked against
// the .bin file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "tools/msg_fixture/msg_writer.h"

namespace {

using msg_fixture::FixtureMessage;

// xorshift64*: fast and good enough to defeat any compression in the pipeline.
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed | 1) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> out(n);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const uint64_t v = Next();
      for (int k = 0; k < 8; ++k) out[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    for (const uint64_t v = Next(); i < n; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (i % 8)));
    return out;
  }

 private:
  uint64_t state_;
};

std::vector<uint8_t> AsBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

const char* const kNames[] = {"Ada Brooks", "Bruno Keller", "Chiara Rossi", "Dmitri Volkov", "Elena Marsh",
                              "Farid Haddad", "Greta Lind",  "Hugo Dumont",  "Ines Duarte",   "Jonas Berg"};

FixtureMessage BaseMail(int n, const std::string& subject) {
  FixtureMessage m;
  m.props.Unicode(0x001A, "IPM.Note").Unicode(0x0037, subject).Long(0x340D, 0x00040000);
  m.props.Long(0x3FDE, 65001).Long(0x0017, 1);
  const uint64_t t = msg_fixture::FileTime(2026, 1 + n % 12, 1 + n % 28, n % 24, n % 60, 0);
  m.props.Time(0x0039, t).Time(0x0E06, t + 600000000ULL).Time(0x3007, t);
  m.props.Unicode(0x1035, "<bench-" + std::to_string(n) + "@mailvane.example.com>");
  msg_fixture::SetSmtpSender(m.props, kNames[n % 10], "sender" + std::to_string(n % 10) + "@example.com");
  return m;
}

FixtureMessage SmallMail(int n, Noise& noise) {
  FixtureMessage m = BaseMail(n, "Weekly report " + std::to_string(n));
  std::string text = "Hello team,\r\n\r\n";
  std::string html = "<html><head><meta charset=\"utf-8\"></head><body><p>Hello team,</p>";
  const int paragraphs = 8 + n % 8;  // 2-4 KB of HTML
  for (int p = 0; p < paragraphs; ++p) {
    const std::string line = "Item " + std::to_string(p) + " of report " + std::to_string(n) +
                             ": the figures for this week are in the attached file; numbers are up "
                             "in the north and steady in the south. Café crème ☕ for everyone.";
    text += line + "\r\n";
    html += "<p>" + line + "</p>";
  }
  html += "</body></html>";
  m.props.Unicode(0x1000, text);
  m.props.Binary(0x1013, AsBytes(html));
  const int recipients = 2 + n % 2;
  for (int r = 0; r < recipients; ++r) {
    const int who = (n + r + 1) % 10;
    m.recipients.push_back(msg_fixture::SmtpRecipient(r == 2 ? 2 : 1, kNames[who],
                                                      "person" + std::to_string(who) + "@example.org"));
  }
  m.attachments.push_back(
      msg_fixture::FileAttachment("figures-" + std::to_string(n) + ".bin", "application/octet-stream",
                                  noise.Bytes(1024 + static_cast<size_t>(n % 7) * 512)));
  return m;
}

FixtureMessage BigMail(int n, std::vector<uint8_t> payload) {
  FixtureMessage m = BaseMail(n, "Large attachment " + std::to_string(payload.size() >> 20) + " MiB");
  m.props.Unicode(0x1000, "The archive is attached.\r\n");
  m.props.Binary(0x1013, AsBytes("<html><body><p>The archive is attached.</p></body></html>"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Ada Brooks", "ada@example.org"));
  m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Bruno Keller", "bruno@example.org"));
  m.attachments.push_back(msg_fixture::FileAttachment("archive.bin", "application/octet-stream", std::move(payload)));
  return m;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteMsg(const std::string& path, const FixtureMessage& m) {
  // Version 3 (512-byte sectors) as Outlook writes them; large files need DIFAT sectors.
  if (WriteFile(path, msg_fixture::WriteMsg(m, {.version = 3}).bytes)) return true;
  std::fprintf(stderr, "make_bench_msgs: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: make_bench_msgs <folder> [small count [MiB,MiB,...]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int count = argc >= 3 ? std::atoi(argv[2]) : 1000;
  std::vector<size_t> sizes = {100, 200};
  if (argc == 4) {
    sizes.clear();
    for (const char* p = argv[3]; *p;) {
      char* end = nullptr;
      sizes.push_back(std::strtoul(p, &end, 10));
      p = *end == ',' ? end + 1 : end + std::strlen(end);
    }
  }
  mkdir(dir.c_str(), 0777);
  mkdir((dir + "/small").c_str(), 0777);
  Noise noise(20260301);
  for (int n = 0; n < count; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/small/%04d.msg", n);
    if (!WriteMsg(dir + name, SmallMail(n, noise))) return 1;
  }
  for (const size_t mib : sizes) {
    const std::string stem = dir + "/big" + std::to_string(mib);
    std::vector<uint8_t> payload = noise.Bytes(mib << 20);
    if (!WriteFile(stem + ".bin", payload)) return 1;
    if (!WriteMsg(stem + ".msg", BigMail(static_cast<int>(mib), std::move(payload)))) return 1;
  }
  return 0;
}
