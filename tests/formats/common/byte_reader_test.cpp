#include "formats/common/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace formats {
namespace {

TEST(SliceTest, RejectsRangesThatDoNotFitWithoutOverflow) {
  std::vector<uint8_t> data(16);
  Bytes bytes(data);
  EXPECT_TRUE(Slice(bytes, 0, 16).has_value());
  EXPECT_TRUE(Slice(bytes, 16, 0).has_value());
  EXPECT_FALSE(Slice(bytes, 17, 0).has_value());
  EXPECT_FALSE(Slice(bytes, 8, 9).has_value());
  // offset + size wraps around to a small number: must still be refused.
  EXPECT_FALSE(Slice(bytes, 8, std::numeric_limits<uint64_t>::max() - 4).has_value());
}

TEST(ByteReaderTest, FailedReadLeavesPositionUnchanged) {
  const std::vector<uint8_t> data = {0x01, 0x02, 0x03, 0x04, 0x05};
  ByteReader reader{Bytes(data)};
  EXPECT_EQ(reader.ReadU32Le(), 0x04030201u);
  EXPECT_FALSE(reader.ReadU16Le().has_value());
  EXPECT_EQ(reader.offset(), 4u);
  EXPECT_EQ(reader.ReadU8(), 0x05);
  EXPECT_FALSE(reader.ReadU8().has_value());
}

}  // namespace
}  // namespace formats
