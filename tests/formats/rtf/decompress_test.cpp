#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/common/limits.h"
#include "formats/rtf/rtf.h"
#include "formats/rtf/rtf_p.h"

namespace formats::rtf {
namespace {

using ByteVector = std::vector<uint8_t>;

Bytes AsBytes(const ByteVector& v) { return Bytes(v.data(), v.size()); }

void PutU32(ByteVector& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// The two test vectors of the compressed RTF format document.
const ByteVector kVector1 = {
    0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7,
    0x03, 0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20,
    0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f,
    0xa0};
const ByteVector kVector2 = {0x1a, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xe2, 0xd4,
                             0x4b, 0x51, 0x41, 0x00, 0x04, 0x20, 0x57, 0x58, 0x59, 0x5a, 0x0d, 0x6e, 0x7d, 0x01,
                             0x0e, 0xb0};
// All literals, then the end marker at 207 + 9.
const ByteVector kLiterals = {0x19, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0x95, 0x10, 0x16,
                              0xac, 0x00, 0x7b, 0x5c, 0x72, 0x74, 0x66, 0x31, 0x20, 0x41, 0x02, 0x7d, 0x0d, 0x80};
const ByteVector kStored = {0x15, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x4d, 0x45, 0x4c, 0x41, 0x00,
                            0x00, 0x00, 0x00, 0x7b, 0x5c, 0x72, 0x74, 0x66, 0x31, 0x20, 0x41, 0x7d};

// Builds a compressed stream with a correct header around `data`.
ByteVector Wrap(const ByteVector& data, uint32_t raw_size) {
  ByteVector v(16);
  PutU32(v, 0, static_cast<uint32_t>(data.size() + 12));
  PutU32(v, 4, raw_size);
  PutU32(v, 8, 0x75465A4C);
  PutU32(v, 12, CompressedRtfCrc(Bytes(data.data(), data.size())));
  v.insert(v.end(), data.begin(), data.end());
  return v;
}

TEST(CompressedRtfCrcTest, MatchesTheFormatsCheckValues) {
  const std::string check = "123456789";
  EXPECT_EQ(CompressedRtfCrc(Bytes(reinterpret_cast<const uint8_t*>(check.data()), check.size())), 0x2DFD2D88u);
  EXPECT_EQ(CompressedRtfCrc(Bytes()), 0u);
}

struct GoodCase {
  const char* name;
  const ByteVector* input;
  std::string expected;
};

class DecompressGoodTest : public testing::TestWithParam<GoodCase> {};

TEST_P(DecompressGoodTest, DecodesExactly) {
  auto out = Decompress(AsBytes(*GetParam().input));
  ASSERT_TRUE(out.ok()) << out.error().detail;
  EXPECT_EQ(*out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, DecompressGoodTest,
    testing::Values(GoodCase{"Vector1", &kVector1, "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"},
                    GoodCase{"Vector2OverlappingCopy", &kVector2, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}"},
                    GoodCase{"AllLiterals", &kLiterals, "{\\rtf1 A}"},
                    GoodCase{"StoredForm", &kStored, "{\\rtf1 A}"}),
    [](const testing::TestParamInfo<GoodCase>& info) { return std::string(info.param.name); });

TEST(DecompressTest, ReferenceIntoThePreloadedDictionary) {
  // One reference to offset 168, length 2: the CR LF of the preloaded text; then
  // the end marker at 209.
  const ByteVector data = {0x03, 0x0a, 0x80, 0x0d, 0x10};
  auto out = Decompress(AsBytes(Wrap(data, 2)));
  ASSERT_TRUE(out.ok()) << out.error().detail;
  EXPECT_EQ(*out, "\r\n");
}

TEST(DecompressTest, OutputStopsAtTheRawSize) {
  // Vector 2's data under a header that claims only 11 bytes.
  const ByteVector data(kVector2.begin() + 16, kVector2.end());
  auto out = Decompress(AsBytes(Wrap(data, 11)));
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(*out, "{\\rtf1 WXYZ");
}

struct BadCase {
  const char* name;
  ByteVector input;
  ErrorCode code;
};

ByteVector WithU32(ByteVector v, size_t at, uint32_t x) {
  PutU32(v, at, x);
  return v;
}

ByteVector Truncated(ByteVector v, size_t size) {
  v.resize(size);
  return v;
}

ByteVector Flipped(ByteVector v, size_t at) {
  v[at] ^= 0x01;
  return v;
}

class DecompressBadTest : public testing::TestWithParam<BadCase> {};

TEST_P(DecompressBadTest, RejectsWithCode) {
  auto out = Decompress(AsBytes(GetParam().input));
  ASSERT_FALSE(out.ok());
  EXPECT_EQ(out.error().code, GetParam().code) << out.error().detail;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, DecompressBadTest,
    testing::Values(
        BadCase{"ShortHeader", Truncated(kVector1, 15), ErrorCode::kTruncated},
        BadCase{"UnknownType", WithU32(kVector1, 8, 0x12345678), ErrorCode::kBadSignature},
        BadCase{"CrcMismatch", WithU32(kVector1, 12, 0xA7C7C5F0), ErrorCode::kBadCrc},
        BadCase{"CorruptedDataByte", Flipped(kVector1, 20), ErrorCode::kBadCrc},
        BadCase{"DataShorterThanCompSize", Truncated(kVector1, 40), ErrorCode::kTruncated},
        BadCase{"CompSizeBelowHeader", WithU32(kVector1, 0, 8), ErrorCode::kBadRtf},
        BadCase{"RawSizeFourGigabytes", WithU32(kVector1, 4, 0xFFFFFFFF), ErrorCode::kLimitExceeded},
        BadCase{"RawSizeJustAboveLimit", WithU32(kVector1, 4, limits::kMaxRtfBytes + 1), ErrorCode::kLimitExceeded},
        // 64 MB is allowed in general but not from 33 bytes of data.
        BadCase{"RawSizeMoreThanDataCanProduce", WithU32(kVector1, 4, limits::kMaxRtfBytes), ErrorCode::kBadRtf},
        BadCase{"StoredShorterThanRawSize", Truncated(kStored, 24), ErrorCode::kTruncated},
        BadCase{"StoredRawSizeFourGigabytes", WithU32(kStored, 4, 0xFFFFFFFF), ErrorCode::kLimitExceeded},
        // The data ends half-way through a reference (CRC made to match).
        BadCase{"EndsInsideReference", Wrap({0x01, 0x00}, 20), ErrorCode::kTruncated},
        // Literals only, no end marker, fewer bytes than the raw size.
        BadCase{"EndsBeforeEndMarker", Wrap({0x00, 'a', 'b'}, 5), ErrorCode::kTruncated}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace formats::rtf
