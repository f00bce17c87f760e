// The reader over real .msg files written by other programs (CORPUS_DIR).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/msg/reader.h"

namespace formats::msg {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Reads every stream the model points to, through the chunked interface.
void ReadAllStreams(const Message& m, uint64_t& bytes) {
  auto drain = [&bytes](const std::optional<StreamRef>& ref) {
    if (!ref) return;
    uint64_t seen = 0;
    Status s = ref->ForEachChunk([&](std::span<const uint8_t> c) {
      seen += c.size();
      return true;
    });
    EXPECT_TRUE(s) << s.error().detail;
    EXPECT_EQ(seen, ref->size());
    bytes += seen;
  };
  drain(m.rtf_compressed);
  for (const Attachment& a : m.attachments) {
    drain(a.data);
    if (a.embedded) ReadAllStreams(*a.embedded, bytes);
  }
}

TEST(CorpusTest, EveryFileReadsWithoutError) {
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(CORPUS_DIR)) {
    if (entry.path().extension() != ".msg") continue;
    SCOPED_TRACE(entry.path().string());
    ++files;
    const std::vector<uint8_t> bytes = ReadFile(entry.path());
    Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file) << file.error().detail;
    Result<Message> m = ReadMessage(*file);
    ASSERT_TRUE(m) << m.error().detail;
    EXPECT_FALSE(m->message_class.empty());
    uint64_t streamed = 0;
    ReadAllStreams(*m, streamed);
  }
  EXPECT_GE(files, 70);
}

// Facts read off a few corpus files by eye (and from the notes in SOURCES.tsv).
struct Fact {
  const char* file;
  std::function<void(const Message&)> check;
};

const Fact kFacts[] = {
    {"msgreader-js/200 recipients.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "200 recipients");
       ASSERT_EQ(m.recipients.size(), 200u);
       EXPECT_EQ(m.recipients[0].smtp_address, "xmailuser1@xmailserver.test");
       EXPECT_EQ(m.recipients[199].address, "xmailuser200@xmailserver.test");
     }},
    {"msgreader-js/nonUnicodeCP932.msg",
     [](const Message& m) {
       // An 8-bit store whose Internet code page is ISO-2022-JP: the strings are in
       // the locale's Shift_JIS.
       EXPECT_EQ(m.subject, "日本語 Non Unicode タイトル");
       EXPECT_EQ(m.string_codepage, 932u);
       ASSERT_EQ(m.recipients.size(), 1u);
       EXPECT_EQ(m.recipients[0].address, "xmailuser2@xmailserver.test");
     }},
    {"msgreader-net/EmailWithSpecialCharsInSubject.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "Un sujet bien défini Àéroport mañana être ouïe électricité così próxima à Ô");
       EXPECT_EQ(m.sender.address_type, "EX");
       EXPECT_EQ(m.sender.smtp_address, "Julie.Clarebots@qbere.com");
       ASSERT_EQ(m.recipients.size(), 1u);
       EXPECT_EQ(m.recipients[0].smtp_address, "Julie.Clarebots@qbere.com");
     }},
    {"email-outlook-message-perl/plain_jpeg_attached.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "test");
       EXPECT_EQ(m.sender.smtp_address, "Matijs.van.Zuijlen@xs4all.nl");
       EXPECT_EQ(m.internet_message_id, "<20070924132803.GB10141@matijs.net>");
       ASSERT_EQ(m.attachments.size(), 1u);
       EXPECT_EQ(m.attachments[0].filename, "test.jpg");
       EXPECT_EQ(m.attachments[0].mime_tag, "image/jpeg");
       ASSERT_TRUE(m.attachments[0].data);
       EXPECT_EQ(m.attachments[0].data->size(), 7681u);
       Result<std::vector<uint8_t>> jpeg = m.attachments[0].data->ReadAll(1 << 20);
       ASSERT_TRUE(jpeg);
       EXPECT_EQ((*jpeg)[0], 0xFF);
       EXPECT_EQ((*jpeg)[1], 0xD8);
     }},
    {"email-outlook-message-perl/html_unsent.msg",
     [](const Message& m) {
       // Unsent: no sender, but the sent-representing entry id is a one-off SMTP one.
       EXPECT_TRUE(m.sender.smtp_address.empty());
       EXPECT_EQ(m.sent_representing.name, "Test User");
       EXPECT_EQ(m.sent_representing.smtp_address, "test@example.com");
     }},
    {"msgreader-net/EmailWithAttachments.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "This is the subject");
       EXPECT_EQ(m.sender.smtp_address, "peterpan@neverland.com");
       ASSERT_EQ(m.recipients.size(), 3u);
       EXPECT_EQ(m.recipients[0].type, 1);
       EXPECT_EQ(m.recipients[1].type, 2);
       EXPECT_EQ(m.recipients[2].type, 3);
       ASSERT_TRUE(m.html);
       EXPECT_FALSE(m.html_is_utf8);
       ASSERT_EQ(m.attachments.size(), 2u);
       EXPECT_EQ(m.attachments[0].filename, "peterpan.jpg");
       EXPECT_EQ(m.attachments[0].data->size(), 39150u);
       EXPECT_EQ(m.attachments[1].filename, "tinkerbell.jpg");
       EXPECT_EQ(m.attachments[1].content_id, "tinkerbell.jpg");
       EXPECT_TRUE(m.attachments[1].hidden);
     }},
    {"msgreader-js/msgInMsgInMsg.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "I have sub attachments!");
       ASSERT_EQ(m.attachments.size(), 2u);
       ASSERT_TRUE(m.attachments[0].embedded);
       const Message& inner = *m.attachments[0].embedded;
       EXPECT_EQ(inner.subject, "I have attachments!");
       EXPECT_EQ(inner.depth, 1);
       ASSERT_FALSE(inner.attachments.empty());
       ASSERT_TRUE(inner.attachments[0].embedded);
       const Message& innermost = *inner.attachments[0].embedded;
       EXPECT_EQ(innermost.depth, 2);
       EXPECT_EQ(innermost.subject, "Microsoft Outlook テスト メッセージ");
       ASSERT_EQ(innermost.recipients.size(), 1u);
     }},
    {"msgreader-js/Many entities.msg",
     [](const Message& m) {
       ASSERT_EQ(m.attachments.size(), 22u);
       for (const Attachment& a : m.attachments) {
         EXPECT_EQ(a.method, AttachMethod::kEmbeddedMessage);
         ASSERT_TRUE(a.embedded);
         EXPECT_EQ(a.embedded->message_class, "IPM.Note");
       }
       EXPECT_EQ(m.attachments[0].embedded->subject, "ワークフロー通知 (最終承認済み)");
     }},
    {"msgreader-js/Subject.msg",
     [](const Message& m) {
       ASSERT_EQ(m.recipients.size(), 3u);
       EXPECT_EQ(m.recipients[2].name, "ToBcc");
       EXPECT_EQ(m.recipients[2].type, 3);
     }},
    {"msgreader-js/newOutlook Microsoft Outlook test.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "Microsoft Outlook テスト メッセージ");
       EXPECT_FALSE(m.rtf_compressed);
       EXPECT_FALSE(m.body);
       ASSERT_TRUE(m.html);
       EXPECT_EQ(m.internet_codepage, 65001u);
     }},
    {"msgreader-js/test.msg",
     [](const Message& m) {
       EXPECT_EQ(m.subject, "asdf");
       EXPECT_EQ(m.internet_content_type,
                 "multipart/mixed; boundary=\"----=_NextPart_000_0001_01D3C2C9.498F75F0\"; charset=\"us-ascii\"");
     }},
    {"poi/logsat.com_signatures_valid.msg",
     [](const Message& m) {
       EXPECT_EQ(m.message_class, "IPM.Note.SMIME.MultipartSigned");
       ASSERT_EQ(m.attachments.size(), 1u);
       EXPECT_EQ(m.attachments[0].mime_tag, "multipart/signed");
     }},
};

void PrintTo(const Fact& f, std::ostream* os) {
  *os << f.file;
}

class CorpusFactTest : public ::testing::TestWithParam<Fact> {};

TEST_P(CorpusFactTest, MatchesWhatTheFileHolds) {
  const std::vector<uint8_t> bytes = ReadFile(fs::path(CORPUS_DIR) / GetParam().file);
  ASSERT_FALSE(bytes.empty());
  Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(bytes);
  ASSERT_TRUE(file) << file.error().detail;
  Result<Message> m = ReadMessage(*file);
  ASSERT_TRUE(m) << m.error().detail;
  GetParam().check(*m);
}

INSTANTIATE_TEST_SUITE_P(Files,
                         CorpusFactTest,
                         ::testing::ValuesIn(kFacts),
                         [](const ::testing::TestParamInfo<Fact>& info) {
                           std::string name = fs::path(info.param.file).stem().string();
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace formats::msg
