#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "formats/mime/entity.h"
#include "tests/formats/mime/mime_test_util.h"

namespace formats::mime {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Golden files live in tests/data/eml. MIME_UPDATE_GOLDEN=1 rewrites them (then
// review the diff by eye before committing).
void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = std::string(TEST_DATA_DIR) + "/eml/" + name;
  if (std::getenv("MIME_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << actual;
  }
  EXPECT_EQ(actual, ReadFile(path)) << "differs from " << path;
}

WriteOptions Counting() {
  auto n = std::make_shared<int>(0);
  return {[n] { return "=_b" + std::to_string(++*n); }};
}

// A source that hands out bytes in pieces of the given size, as the compound file does.
ChunkSource Pieces(std::string data, size_t piece) {
  return [data = std::move(data), piece](const ChunkFn& fn) -> Status {
    for (size_t pos = 0; pos < data.size(); pos += piece) {
      const size_t n = std::min(piece, data.size() - pos);
      if (Status st = fn({reinterpret_cast<const uint8_t*>(data.data()) + pos, n}); !st) return st;
    }
    return {};
  };
}

std::vector<std::string> TopFields(std::string_view subject) {
  return {"Date: Tue, 14 Mar 2023 15:09:26 +0000\r\n",
          FoldAddressList("From", {{"Doe, Jane", "jane.doe@example.com"}}),
          FoldAddressList("To", {{"Jörg Müller", "joerg@example.net"}, {"", "bob@example.org"}}),
          FoldUnstructured("Subject", subject),
          "Message-ID: <fixed@example.com>\r\n",
          "MIME-Version: 1.0\r\n"};
}

Entity Leaf(std::string media_type, std::string body) {
  Entity e;
  e.media_type = std::move(media_type);
  e.type_params = {{"charset", "utf-8"}};
  e.body = std::move(body);
  return e;
}

Message FullMessage() {
  Message msg;
  msg.fields = TopFields("Grüße aus Köln");
  msg.body.kind = Entity::Kind::kMultipart;
  msg.body.media_type = "multipart/mixed";

  Entity related;
  related.kind = Entity::Kind::kMultipart;
  related.media_type = "multipart/related";
  related.type_params = {{"type", "text/html"}};
  related.parts.push_back(Leaf("text/html",
                               "<html><body><p>Hallo \xe2\x80\x93 see the logo.</p>"
                               "<img src=\"cid:image001.png@01D95686.F75FD700\"></body></html>\r\n"));
  Entity image;
  image.media_type = "image/png";
  image.type_params = {{"name", "image001.png", true}};
  image.fields = {{"Content-ID", "<image001.png@01D95686.F75FD700>"}};
  image.disposition = "inline";
  image.disposition_params = {{"filename", "image001.png"}};
  std::string png = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 200; ++i) png += static_cast<char>(i * 7);
  image.source = Pieces(png, 13);
  related.parts.push_back(std::move(image));
  msg.body.parts.push_back(std::move(related));

  Entity pdf;
  pdf.media_type = "application/pdf";
  pdf.type_params = {{"name", "Prüfbericht März.pdf", true}};
  pdf.disposition = "attachment";
  pdf.disposition_params = {{"filename", "Prüfbericht März.pdf"}};
  pdf.source = Pieces("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n", 5);
  msg.body.parts.push_back(std::move(pdf));

  Entity empty;
  empty.media_type = "application/octet-stream";
  empty.disposition = "attachment";
  empty.disposition_params = {{"filename", "empty.bin"}};
  empty.source = Pieces("", 1);
  msg.body.parts.push_back(std::move(empty));

  Entity forwarded;
  forwarded.kind = Entity::Kind::kMessage;
  forwarded.media_type = "message/rfc822";
  forwarded.disposition = "attachment";
  forwarded.disposition_params = {{"filename", "Forwarded.eml"}};
  forwarded.message = std::make_unique<Message>();
  forwarded.message->fields = {"Date: Mon, 13 Mar 2023 08:00:00 +0000\r\n", "From: bob@example.org\r\n",
                               "Subject: Forwarded\r\n", "MIME-Version: 1.0\r\n"};
  Entity alternative;
  alternative.kind = Entity::Kind::kMultipart;
  alternative.media_type = "multipart/alternative";
  alternative.parts.push_back(Leaf("text/plain", "inner body"));
  alternative.parts.push_back(Leaf("text/html", "<p>inner body</p>"));
  forwarded.message->body = std::move(alternative);
  msg.body.parts.push_back(std::move(forwarded));
  return msg;
}

TEST(WriterTest, SingleHtmlPart) {
  Message msg;
  msg.fields = TopFields("Hello");
  msg.body = Leaf("text/html", "<html><body>Hello</body></html>");
  StringSink sink;
  ASSERT_TRUE(WriteMessage(msg, sink, Counting()).ok());
  ExpectGolden("single_html.eml", sink.str());
}

TEST(WriterTest, MixedRelatedAttachmentsAndEmbeddedMessage) {
  StringSink sink;
  ASSERT_TRUE(WriteMessage(FullMessage(), sink, Counting()).ok());
  ExpectGolden("mixed_related_embedded.eml", sink.str());
}

TEST(WriterTest, VerbatimBodyIsCopiedByteForByte) {
  const std::string signed_entity =
      "Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; micalg=sha-256;\r\n"
      "\tboundary=\"----=_sig\"\r\n\r\n"
      "------=_sig\r\nContent-Type: text/plain\r\n\r\nsigned text \r\n"
      "------=_sig\r\nContent-Type: application/pkcs7-signature\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\nMIAGCSqGSIb3DQEHAqCAMIACAQEx\r\n"
      "------=_sig--\r\n";
  Message msg;
  msg.fields = TopFields("Signed");
  msg.body.kind = Entity::Kind::kVerbatim;
  msg.body.source = Pieces(signed_entity, 7);
  StringSink sink;
  ASSERT_TRUE(WriteMessage(msg, sink, Counting()).ok());
  std::string header;
  for (const std::string& f : TopFields("Signed")) header += f;
  EXPECT_EQ(sink.str(), header + signed_entity);
}

TEST(WriterTest, EveryLineEndsInCrLfAndStaysShort) {
  StringSink sink;
  ASSERT_TRUE(WriteMessage(FullMessage(), sink).ok());
  const std::string& out = sink.str();
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\n') {
      EXPECT_TRUE(i > 0 && out[i - 1] == '\r') << "bare LF at " << i;
    }
    if (out[i] == '\r') {
      EXPECT_TRUE(i + 1 < out.size() && out[i + 1] == '\n') << "bare CR at " << i;
    }
    EXPECT_NE(out[i], '\0');
    EXPECT_LT(static_cast<unsigned char>(out[i]), 0x80) << "8-bit byte at " << i;
  }
  size_t start = 0;
  while (start < out.size()) {
    const size_t end = out.find("\r\n", start);
    EXPECT_LE(end - start, kFoldWidth);
    start = end + 2;
  }
}

TEST(WriterTest, RandomBoundariesDifferAndAvoidEncodedText) {
  const std::string a = RandomBoundary();
  EXPECT_NE(a, RandomBoundary());
  EXPECT_EQ(a.substr(0, 2), "=_");
  EXPECT_LE(a.size(), 70u);
}

TEST(WriterTest, SinkFailureAtAnyByteComesBackAndStopsWriting) {
  StringSink whole;
  ASSERT_TRUE(WriteMessage(FullMessage(), whole, Counting()).ok());
  for (size_t limit = 0; limit < whole.str().size(); limit += 7) {
    mime_test::FailingSink sink(limit);
    Status st = WriteMessage(FullMessage(), sink, Counting());
    ASSERT_FALSE(st.ok()) << limit;
    EXPECT_EQ(st.error().code, ErrorCode::kIo);
    EXPECT_EQ(sink.writes_after_failure(), 0u) << limit;
  }
}

TEST(WriterTest, SourceFailureComesBack) {
  Message msg = FullMessage();
  msg.body.parts[1].source = [](const ChunkFn& fn) -> Status {
    const uint8_t some[3] = {1, 2, 3};
    if (Status st = fn(some); !st) return st;
    return MakeError(ErrorCode::kBadSector, 4096, "sector chain broken");
  };
  StringSink sink;
  Status st = WriteMessage(msg, sink);
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(st.error().code, ErrorCode::kBadSector);
  EXPECT_EQ(st.error().offset, 4096u);
}

}  // namespace
}  // namespace formats::mime
