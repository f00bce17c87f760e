// Every compressed RTF body of the shared corpus, read through the message
// reader: each one decompresses, and what it encapsulates comes out as valid
// UTF-8; \fromtext bodies say what the message's plain-text body says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/cfb/compound_file.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"
#include "formats/msg/reader.h"
#include "formats/rtf/rtf.h"

namespace formats::rtf {
namespace {

// Line ends as CR LF, trailing blank space dropped: bodies are stored with
// either line end, and writers add or drop a final line break.
std::string Normalized(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    if (text[i] == '\n') out += '\r';
    out += text[i];
  }
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

struct Tally {
  int bodies = 0;
  int html = 0;
  int text = 0;
  int text_matching_body = 0;
  int plain_rtf = 0;
};

void CheckMessage(const msg::Message& message, const std::string& where, Tally& tally) {
  if (message.rtf_compressed) {
    auto stored = message.rtf_compressed->ReadAll(limits::kMaxRtfBytes);
    ASSERT_TRUE(stored.ok()) << where;
    auto rtf = Decompress(Bytes(stored->data(), stored->size()));
    ASSERT_TRUE(rtf.ok()) << where << ": " << rtf.error().detail;
    ++tally.bodies;
    switch (DetectEncapsulation(*rtf)) {
      case Encapsulation::kHtml: {
        auto html = ExtractHtml(*rtf);
        ASSERT_TRUE(html.ok()) << where;
        EXPECT_TRUE(IsValidUtf8(*html)) << where;
        // Some bodies are fragments without <html>; none may leak RTF.
        EXPECT_FALSE(html->empty()) << where;
        EXPECT_EQ(html->find("\\htmlrtf"), std::string::npos) << where;
        EXPECT_EQ(html->find("\\par"), std::string::npos) << where;
        ++tally.html;
        break;
      }
      case Encapsulation::kText: {
        auto text = ExtractText(*rtf);
        ASSERT_TRUE(text.ok()) << where;
        EXPECT_TRUE(IsValidUtf8(*text)) << where;
        ++tally.text;
        if (message.body && Normalized(*text) == Normalized(*message.body)) ++tally.text_matching_body;
        break;
      }
      case Encapsulation::kNone:
        ++tally.plain_rtf;
        break;
    }
    auto rendered = RtfToHtml(*rtf);
    ASSERT_TRUE(rendered.ok()) << where;
    EXPECT_TRUE(IsValidUtf8(rendered->html)) << where;
  }
  for (const msg::Attachment& attachment : message.attachments) {
    if (attachment.embedded) CheckMessage(*attachment.embedded, where + " > embedded", tally);
  }
}

TEST(CorpusMessageTest, EveryRtfBodyConverts) {
  Tally tally;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CORPUS_DIR)) {
    if (entry.path().extension() != ".msg") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto file = cfb::CompoundFile::Open(Bytes(bytes.data(), bytes.size()));
    if (!file.ok()) continue;  // the reader's own tests cover files it refuses
    auto message = msg::ReadMessage(*file);
    if (!message.ok()) continue;
    CheckMessage(*message, entry.path().filename().string(), tally);
  }
  // The corpus holds 97 compressed RTF bodies (embedded messages included):
  // 42 with HTML, 33 with text and 22 of plain RTF.
  EXPECT_EQ(tally.bodies, 97);
  EXPECT_EQ(tally.html, 42);
  EXPECT_EQ(tally.text, 33);
  EXPECT_EQ(tally.plain_rtf, 22);
  // One message (plain_uc_wc_unsent.msg) had its text body edited after the RTF
  // was written; every other \fromtext body matches its plain-text body.
  EXPECT_EQ(tally.text_matching_body, tally.text - 1);
}

}  // namespace
}  // namespace formats::rtf
