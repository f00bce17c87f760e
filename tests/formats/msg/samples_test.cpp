// The sample messages shipped beside the programs: each must read as a mail
// that converts (a sender and recipients with Internet addresses).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "formats/msg/reader.h"

namespace formats::msg {
namespace {

namespace fs = std::filesystem;

class Sample {
 public:
  explicit Sample(const std::string& name) {
    std::ifstream in(fs::path(SAMPLES_DIR) / name, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
    Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(bytes_);
    if (!file) {
      error_ = file.error().detail;
      return;
    }
    file_ = std::make_unique<cfb::CompoundFile>(std::move(*file));
    Result<Message> m = ReadMessage(*file_);
    if (!m) {
      error_ = m.error().detail;
      return;
    }
    message_ = std::make_unique<Message>(std::move(*m));
  }
  const Message* message() const { return message_.get(); }
  const std::string& error() const { return error_; }

 private:
  std::vector<uint8_t> bytes_;
  std::unique_ptr<cfb::CompoundFile> file_;
  std::unique_ptr<Message> message_;
  std::string error_;
};

TEST(SamplesTest, EverySampleIsAConvertibleMail) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(SAMPLES_DIR)) {
    if (entry.path().extension() != ".msg") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++count;
    Sample s(entry.path().filename().string());
    ASSERT_TRUE(s.message()) << s.error();
    const Message& m = *s.message();
    EXPECT_EQ(m.message_class, "IPM.Note");
    EXPECT_NE(m.sender.smtp_address.find('@'), std::string::npos);
    EXPECT_NE(m.sent_representing.smtp_address.find('@'), std::string::npos);
    ASSERT_FALSE(m.recipients.empty());
    for (const Recipient& r : m.recipients) {
      EXPECT_NE(r.smtp_address.find('@'), std::string::npos) << r.name;
      EXPECT_TRUE(r.type >= 1 && r.type <= 3);
    }
    EXPECT_TRUE(m.body || m.html);
    EXPECT_TRUE(m.warnings.empty());
  }
  EXPECT_GE(count, 3);
  EXPECT_LE(count, 6);
}

TEST(SamplesTest, AttachmentsSampleCarriesAPngAndATextFile) {
  Sample s("Chart and agenda.msg");
  ASSERT_TRUE(s.message()) << s.error();
  const Message& m = *s.message();
  ASSERT_EQ(m.attachments.size(), 2u);
  const Attachment& png = m.attachments[0];
  EXPECT_EQ(png.filename, "chart.png");
  EXPECT_EQ(png.mime_tag, "image/png");
  ASSERT_TRUE(m.html);
  EXPECT_NE(m.html->find("cid:" + png.content_id), std::string::npos);
  Result<std::vector<uint8_t>> bytes = png.data->ReadAll(1 << 20);
  ASSERT_TRUE(bytes);
  ASSERT_GT(bytes->size(), 8u);
  EXPECT_EQ(std::string(bytes->begin() + 1, bytes->begin() + 4), "PNG");
  EXPECT_EQ(m.attachments[1].filename, "agenda.txt");
  EXPECT_EQ(m.attachments[1].mime_tag, "text/plain");
}

TEST(SamplesTest, NonLatinSampleHoldsFourScripts) {
  Sample s("Non-Latin greetings.msg");
  ASSERT_TRUE(s.message()) << s.error();
  const Message& m = *s.message();
  for (const char* word : {"Привет", "Γειά", "你好", "مرحبا"}) EXPECT_NE(m.subject.find(word), std::string::npos) << word;
  ASSERT_TRUE(m.body);
  for (const char* word : {"Доброе", "Καλημέρα", "早上好", "صباح"}) EXPECT_NE(m.body->find(word), std::string::npos) << word;
}

TEST(SamplesTest, ForwardedSampleEmbedsAMessage) {
  Sample s("Forwarded message.msg");
  ASSERT_TRUE(s.message()) << s.error();
  ASSERT_EQ(s.message()->attachments.size(), 1u);
  const Attachment& a = s.message()->attachments[0];
  EXPECT_EQ(a.method, AttachMethod::kEmbeddedMessage);
  ASSERT_TRUE(a.embedded);
  EXPECT_EQ(a.embedded->subject, "Quarterly planning notes");
  EXPECT_EQ(a.embedded->recipients.size(), 2u);
}

}  // namespace
}  // namespace formats::msg
