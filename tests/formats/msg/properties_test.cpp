#include "formats/msg/properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/msg_fixture/msg_writer.h"

namespace formats::msg {
namespace {

TEST(PropertiesTest, SubstgNamesAreUpperCaseHex) {
  EXPECT_EQ(SubstgName(0x0037, 0x001F), "__substg1.0_0037001F");
  EXPECT_EQ(SubstgName(0x3701, 0x000D), "__substg1.0_3701000D");
}

TEST(PropertiesTest, ParsesOneOffEntryIds) {
  struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    bool ok;
    std::string display, type, address;
  };
  std::vector<uint8_t> cut = msg_fixture::OneOffEntryId("Zoë", "SMTP", "zoe@example.com");
  cut.pop_back();  // the address loses half of its terminator
  std::vector<uint8_t> wrong_uid = msg_fixture::OneOffEntryId("A", "SMTP", "a@example.com");
  wrong_uid[10] ^= 1;
  const Row rows[] = {
      {"unicode", msg_fixture::OneOffEntryId("Zoë", "SMTP", "zoe@example.com"), true, "Zoë", "SMTP", "zoe@example.com"},
      {"eight_bit_in_codepage", msg_fixture::OneOffEntryId("Zo\xEB", "SMTP", "zoe@example.com", false), true, "Zoë",
       "SMTP", "zoe@example.com"},
      {"empty_strings", msg_fixture::OneOffEntryId("", "", ""), true, "", "", ""},
      {"missing_terminator", cut, false, "", "", ""},
      {"other_provider", wrong_uid, false, "", "", ""},
      {"too_short_for_header", std::vector<uint8_t>(10, 0), false, "", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::optional<OneOffEntryId> id = ParseOneOffEntryId(row.bytes, 1252);
    ASSERT_EQ(id.has_value(), row.ok);
    if (!id) continue;
    EXPECT_EQ(id->display_name, row.display);
    EXPECT_EQ(id->address_type, row.type);
    EXPECT_EQ(id->address, row.address);
  }
}

TEST(PropertiesTest, FlatEntryListsMustFitTheirSizes) {
  struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    std::optional<size_t> entries;  // nullopt: rejected
  };
  // Two entries of 5 and 4 bytes, the first padded to 8.
  const std::vector<uint8_t> two = {2, 0, 0, 0, 20, 0, 0, 0, 5, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9, 9};
  std::vector<uint8_t> unpadded = {1, 0, 0, 0, 9, 0, 0, 0, 5, 0, 0, 0, 1, 2, 3, 4, 5};
  std::vector<uint8_t> size_beyond_blob = two;
  size_beyond_blob[4] = 21;
  std::vector<uint8_t> entry_beyond_size = two;
  entry_beyond_size[20] = 5;
  std::vector<uint8_t> count_beyond_entries = two;
  count_beyond_entries[0] = 0xFF;
  const Row rows[] = {
      {"two_entries", two, 2},
      {"last_entry_without_padding", unpadded, 1},
      {"empty_list", {0, 0, 0, 0, 0, 0, 0, 0}, 0},
      {"size_beyond_the_blob", size_beyond_blob, std::nullopt},
      {"entry_beyond_the_list_size", entry_beyond_size, std::nullopt},
      {"count_beyond_the_entries", count_beyond_entries, std::nullopt},
      {"no_header", {1, 0, 0}, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::optional<std::vector<Bytes>> list = ParseFlatEntryList(row.bytes);
    ASSERT_EQ(list.has_value(), row.entries.has_value());
    if (list) {
      EXPECT_EQ(list->size(), *row.entries);
    }
  }
  std::optional<std::vector<Bytes>> list = ParseFlatEntryList(two);
  ASSERT_TRUE(list);
  EXPECT_EQ((*list)[1][0], 9);
  EXPECT_EQ((*list)[0].size(), 5u);
}

TEST(PropertiesTest, FixedValuesReadByTypeAndErrorsCountAsAbsent) {
  msg_fixture::FixtureMessage m;
  m.props.Long(0x0017, 2).Bool(0x7FFE, true).Fixed(0x0E1B, 0x000B, 0xFFFF0000);  // dirty upper bytes: false
  m.props.Fixed(0x0026, 0x000A, 0x8004010F);                                     // PT_ERROR: not found
  m.props.Time(0x0039, 0).Time(0x0E06, 132000000000000000ull);
  msg_fixture::CompoundImage img = msg_fixture::WriteMsg(m);
  Result<cfb::CompoundFile> file = cfb::CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  Result<PropertyBag> bag = PropertyBag::Read(*file, cfb::kRootEntry, kTopLevelHeaderSize);
  ASSERT_TRUE(bag);
  EXPECT_EQ(bag->GetLong(0x0017), 2u);
  EXPECT_FALSE(bag->GetLong(0x7FFE)) << "a boolean is not a long";
  EXPECT_EQ(bag->GetBool(0x7FFE), true);
  EXPECT_EQ(bag->GetBool(0x0E1B), false);
  EXPECT_FALSE(bag->GetLong(0x0026));
  EXPECT_FALSE(bag->GetTime(0x0039));
  EXPECT_EQ(bag->GetTime(0x0E06), 132000000000000000ull);
  EXPECT_FALSE(bag->GetLong(0x1234));
}

}  // namespace
}  // namespace formats::msg
