#include "formats/mime/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/formats/mime/mime_test_util.h"

namespace formats::mime {
namespace {

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// Feeds data cut at random places and returns what the encoder wrote.
std::string EncodeInChunks(const std::string& data, std::mt19937& rng, size_t max_chunk) {
  StringSink sink;
  auto encoder = std::make_unique<Base64LineEncoder>(sink);
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t n = std::min<size_t>(data.size() - pos, rng() % (max_chunk + 1));
    EXPECT_TRUE(encoder->Feed({reinterpret_cast<const uint8_t*>(data.data()) + pos, n}).ok());
    pos += n;
  }
  EXPECT_TRUE(encoder->Finish().ok());
  return sink.Take();
}

TEST(Base64Test, MatchesReferenceForEveryLengthAroundLineAndBlockSizes) {
  std::mt19937 rng(1);
  std::vector<size_t> sizes;
  for (size_t n = 0; n <= 200; ++n) sizes.push_back(n);
  for (size_t around : {Base64LineEncoder::kOutputBlock / 78 * 57, size_t{1} << 20}) {
    for (size_t d = 0; d < 5; ++d) {
      sizes.push_back(around - d);
      sizes.push_back(around + d);
    }
  }
  for (size_t n : sizes) {
    const std::string data = RandomBytes(rng, n);
    EXPECT_EQ(EncodeBase64Lines(data), mime_test::ReferenceBase64Lines(data)) << "size " << n;
  }
}

TEST(Base64Test, ChunkingDoesNotChangeOutput) {
  std::mt19937 rng(2);
  // Chunk sizes from single bytes to several blocks, so carries of every length and
  // block flushes in the middle of a chunk all occur.
  for (size_t max_chunk : {1, 2, 3, 56, 57, 58, 114, 4096, 200000}) {
    for (int round = 0; round < 4; ++round) {
      const std::string data = RandomBytes(rng, 1000 + rng() % 300000);
      EXPECT_EQ(EncodeInChunks(data, rng, max_chunk), mime_test::ReferenceBase64Lines(data))
          << "max chunk " << max_chunk;
    }
  }
}

TEST(Base64Test, LinesAreSeventySixCharactersAndDecodeBack) {
  std::mt19937 rng(3);
  const std::string data = RandomBytes(rng, 10000);
  const std::string text = EncodeBase64Lines(data);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 76u);
    start = end + 2;
  }
  std::string back;
  ASSERT_TRUE(mime_test::DecodeBase64(text, back));
  EXPECT_EQ(back, data);
}

TEST(Base64Test, UnwrappedFormHasPaddingOnly) {
  struct Row {
    std::string_view in, out;
  } rows[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
              {"\xff\xfe\xfd", "//79"}};
  for (const Row& r : rows) EXPECT_EQ(EncodeBase64(r.in), r.out) << r.in;
}

TEST(Base64Test, SinkFailureStopsEncoderAndComesBack) {
  std::mt19937 rng(4);
  const std::string data = RandomBytes(rng, 3 * Base64LineEncoder::kOutputBlock);
  for (size_t limit : {size_t{0}, size_t{100}, Base64LineEncoder::kOutputBlock + 5}) {
    mime_test::FailingSink sink(limit);
    Base64LineEncoder encoder(sink);
    Status st = encoder.Feed({reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    if (st) st = encoder.Finish();
    ASSERT_FALSE(st.ok()) << limit;
    EXPECT_EQ(st.error().code, ErrorCode::kIo);
    EXPECT_EQ(sink.writes_after_failure(), 0u);
  }
}

}  // namespace
}  // namespace formats::mime
