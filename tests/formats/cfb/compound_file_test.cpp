#include "formats/cfb/compound_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tools/msg_fixture/cfb_writer.h"

namespace formats::cfb {
namespace {

using msg_fixture::CompoundImage;
using msg_fixture::Link;
using msg_fixture::Node;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return v;
}

// Opens the file and reads every stream of every storage: the first error, if any.
std::optional<ErrorCode> OpenAndReadAll(const std::vector<uint8_t>& bytes) {
  Result<CompoundFile> file = CompoundFile::Open(bytes);
  if (!file) return file.error().code;
  std::vector<EntryId> pending = {kRootEntry};
  while (!pending.empty()) {
    const EntryId storage = pending.back();
    pending.pop_back();
    for (EntryId id : file->Children(storage)) {
      if (file->entry(id).is_storage()) {
        pending.push_back(id);
        continue;
      }
      Result<std::vector<uint8_t>> data = file->ReadStream(id, 1u << 30);
      if (!data) return data.error().code;
    }
  }
  return std::nullopt;
}

// Base file of the damage table: small streams in the mini stream, regular
// streams of several sectors, a nested storage, two directory sectors and one
// unused directory entry (id 7).
CompoundImage BaseFile(int version = 3) {
  Node root = Node::Storage(
      "Root Entry",
      {
          Node::Stream("small", Pattern(200, 1)),
          Node::Stream("small2", Pattern(100, 2)),
          Node::Stream("big", Pattern(5000, 3)),
          Node::Storage("sub", {Node::Stream("inner", Pattern(4095, 4)), Node::Stream("inner_big", Pattern(8192, 5))}),
      });
  return msg_fixture::WriteCompoundFile(root, {.version = version});
}

TEST(CompoundFileTest, ReadsBackWhatWasWrittenInBothVersions) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    const std::vector<size_t> sizes = {0, 1, 63, 64, 65, 4095, 4096, 4097, 100000};
    std::vector<Node> streams;
    for (size_t i = 0; i < sizes.size(); ++i) {
      streams.push_back(Node::Stream("s" + std::to_string(sizes[i]), Pattern(sizes[i], static_cast<uint8_t>(i))));
    }
    Node root = Node::Storage("Root Entry", {Node::Storage("folder", streams), Node::Stream("top", Pattern(10, 9))});
    CompoundImage img = msg_fixture::WriteCompoundFile(root, {.version = version});
    Result<CompoundFile> file = CompoundFile::Open(img.bytes);
    ASSERT_TRUE(file) << file.error().detail;
    EXPECT_EQ(file->major_version(), version);
    EXPECT_EQ(file->sector_size(), version == 3 ? 512u : 4096u);
    std::optional<EntryId> folder = file->FindChild(kRootEntry, "folder");
    ASSERT_TRUE(folder);
    ASSERT_TRUE(file->entry(*folder).is_storage());
    EXPECT_EQ(file->Children(*folder).size(), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
      std::optional<EntryId> id = file->FindChild(*folder, "s" + std::to_string(sizes[i]));
      ASSERT_TRUE(id) << sizes[i];
      EXPECT_EQ(file->entry(*id).size, sizes[i]);
      Result<std::vector<uint8_t>> data = file->ReadStream(*id, 1u << 20);
      ASSERT_TRUE(data) << data.error().detail;
      EXPECT_EQ(*data, Pattern(sizes[i], static_cast<uint8_t>(i))) << sizes[i];
    }
  }
}

TEST(CompoundFileTest, ChunksAreSpansIntoTheFileWithConsecutiveSectorsMerged) {
  CompoundImage img = BaseFile();
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  for (const char* name : {"big", "small"}) {
    SCOPED_TRACE(name);
    EntryId id = *file->FindChild(kRootEntry, name);
    std::vector<uint8_t> joined;
    int chunks = 0;
    ASSERT_TRUE(file->ForEachChunk(id, [&](Bytes chunk) {
      EXPECT_GE(chunk.data(), img.bytes.data());
      EXPECT_LE(chunk.data() + chunk.size(), img.bytes.data() + img.bytes.size());
      joined.insert(joined.end(), chunk.begin(), chunk.end());
      ++chunks;
      return true;
    }));
    // The writer puts each chain in consecutive sectors: one span, no copy.
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(joined, *file->ReadStream(id, 1 << 20));
  }
}

// Two regular streams of ten sectors each, "a" then "b".
CompoundImage TwoRegularStreams() {
  return msg_fixture::WriteCompoundFile(
      Node::Storage("Root Entry", {Node::Stream("a", Pattern(5000, 1)), Node::Stream("b", Pattern(5000, 2))}));
}

TEST(CompoundFileTest, ChunksOfAFragmentedChainStayInOrder) {
  CompoundImage img = TwoRegularStreams();
  const uint32_t a = *img.EntryId("a"), b = *img.EntryId("b");
  const uint32_t a0 = img.entry_starts[a], b0 = img.entry_starts[b];
  // Swap the second sectors of the two chains, contents and links.
  for (uint32_t k = 0; k < 512; ++k) {
    std::swap(img.bytes[img.SectorOffset(a0 + 1) + k], img.bytes[img.SectorOffset(b0 + 1) + k]);
  }
  img.SetFatEntry(a0, b0 + 1);
  img.SetFatEntry(b0 + 1, a0 + 2);
  img.SetFatEntry(b0, a0 + 1);
  img.SetFatEntry(a0 + 1, b0 + 2);
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  int chunks = 0;
  std::vector<uint8_t> joined;
  ASSERT_TRUE(file->ForEachChunk(a, [&](Bytes c) {
    joined.insert(joined.end(), c.begin(), c.end());
    ++chunks;
    return true;
  }));
  EXPECT_EQ(joined, Pattern(5000, 1));
  EXPECT_EQ(chunks, 3);
  EXPECT_EQ(*file->ReadStream(b, 5000), Pattern(5000, 2));
}

TEST(CompoundFileTest, SinkCanStopEarly) {
  CompoundImage img = TwoRegularStreams();
  const uint32_t a = *img.EntryId("a"), b = *img.EntryId("b");
  img.SetFatEntry(img.entry_starts[a], img.entry_starts[b]);  // a's first sector, then b's chain: two spans
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  int calls = 0;
  ASSERT_TRUE(file->ForEachChunk(a, [&](Bytes) { return ++calls < 1; }));
  EXPECT_EQ(calls, 1);
  calls = 0;
  ASSERT_TRUE(file->ForEachChunk(a, [&](Bytes) { return ++calls < 5; }));
  EXPECT_EQ(calls, 2);
}

TEST(CompoundFileTest, FindsNamesRegardlessOfCase) {
  CompoundImage img = msg_fixture::WriteCompoundFile(
      Node::Storage("Root Entry", {Node::Stream("__substg1.0_0037001F", {1}), Node::Stream("Данные", {2})}));
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->FindChild(kRootEntry, "__SUBSTG1.0_0037001f"));
  EXPECT_TRUE(file->FindChild(kRootEntry, "ДАННЫЕ"));
  EXPECT_FALSE(file->FindChild(kRootEntry, "__substg1.0_0037001"));
  EXPECT_FALSE(file->FindChild(kRootEntry, "Данные1"));
}

TEST(CompoundFileTest, ManyFatSectorsAreFoundThroughTheDifatChain) {
  for (int version : {3, 4}) {
    CompoundImage img = msg_fixture::WriteCompoundFile(
        Node::Storage("Root Entry", {Node::Stream("big", Pattern(9000, 1)), Node::Stream("small", Pattern(9, 2))}),
        {.version = version, .extra_fat_sectors = 300});
    ASSERT_FALSE(img.difat_sectors.empty());
    EXPECT_EQ(OpenAndReadAll(img.bytes), std::nullopt) << version;
  }
}

TEST(CompoundFileTest, Version3IgnoresTheUpperHalfOfStreamSizes) {
  CompoundImage img = BaseFile(3);
  img.SetEntrySize(*img.EntryId("small"), 0xFFFFFFFF00000000ull | 200);
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  EXPECT_EQ(*file->ReadStream(*file->FindChild(kRootEntry, "small"), 1000), Pattern(200, 1));
}

TEST(CompoundFileTest, ReadStreamRefusesStreamsAboveTheCallersLimit) {
  CompoundImage img = BaseFile();
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file);
  Result<std::vector<uint8_t>> data = file->ReadStream(*file->FindChild(kRootEntry, "big"), 4999);
  ASSERT_FALSE(data);
  EXPECT_EQ(data.error().code, ErrorCode::kLimitExceeded);
  Result<std::vector<uint8_t>> storage = file->ReadStream(*file->FindChild(kRootEntry, "sub"), 1 << 20);
  ASSERT_FALSE(storage);
  EXPECT_EQ(storage.error().code, ErrorCode::kBadStream);
}

TEST(CompoundFileTest, AShortLastSectorIsReadUpToTheEndOfItsData) {
  // "tail" is the last chain of the file; trim the unused end of its last sector.
  Node root = Node::Storage("Root Entry", {Node::Stream("tail", Pattern(5000, 3))});
  CompoundImage img = msg_fixture::WriteCompoundFile(root);
  img.bytes.resize(img.bytes.size() - (512 - 5000 % 512));
  EXPECT_EQ(OpenAndReadAll(img.bytes), std::nullopt);
  img.bytes.pop_back();  // now a byte of the stream itself is missing
  EXPECT_EQ(OpenAndReadAll(img.bytes), ErrorCode::kTruncated);
}

TEST(CompoundFileTest, StoragesNestedTooDeepAreRefused) {
  auto nested = [](int depth) {
    Node node = Node::Stream("leaf", {1, 2, 3});
    for (int i = 0; i < depth; ++i) node = Node::Storage("s" + std::to_string(i), {node});
    return Node::Storage("Root Entry", {node});
  };
  EXPECT_EQ(OpenAndReadAll(msg_fixture::WriteCompoundFile(nested(64)).bytes), std::nullopt);
  Result<CompoundFile> deep = CompoundFile::Open(msg_fixture::WriteCompoundFile(nested(65)).bytes);
  ASSERT_FALSE(deep);
  EXPECT_EQ(deep.error().code, ErrorCode::kLimitExceeded);
}

struct Damage {
  const char* name;  // the fault the row guards against
  int version;
  uint32_t extra_fat_sectors;
  std::function<void(CompoundImage&)> apply;
  ErrorCode expected;
};

void PrintTo(const Damage& d, std::ostream* os) {
  *os << d.name;
}

class DamagedFileTest : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFileTest, FailsWithTheExpectedCode) {
  const Damage& d = GetParam();
  CompoundImage img;
  if (d.extra_fat_sectors) {
    img = msg_fixture::WriteCompoundFile(
        Node::Storage("Root Entry", {Node::Stream("big", Pattern(9000, 1)), Node::Stream("small", Pattern(9, 2))}),
        {.version = d.version, .extra_fat_sectors = d.extra_fat_sectors});
  } else {
    img = BaseFile(d.version);
  }
  ASSERT_EQ(OpenAndReadAll(img.bytes), std::nullopt) << "the undamaged file must be valid";
  d.apply(img);
  std::optional<ErrorCode> got = OpenAndReadAll(img.bytes);
  ASSERT_TRUE(got.has_value()) << "damage went unnoticed";
  EXPECT_EQ(ErrorCodeName(*got), std::string(ErrorCodeName(d.expected)));
}

uint32_t Id(const CompoundImage& img, const char* path) {
  return *img.EntryId(path);
}
uint32_t Start(const CompoundImage& img, const char* path) {
  return img.entry_starts[Id(img, path)];
}

const Damage kDamages[] = {
    {"not_a_compound_file", 3, 0, [](CompoundImage& i) { i.bytes[0] = 'P'; }, ErrorCode::kBadSignature},
    {"file_shorter_than_header", 3, 0, [](CompoundImage& i) { i.bytes.resize(300); }, ErrorCode::kTruncated},
    {"header_without_sectors", 3, 0, [](CompoundImage& i) { i.bytes.resize(512); }, ErrorCode::kTruncated},
    {"v4_header_sector_cut", 4, 0, [](CompoundImage& i) { i.bytes.resize(3000); }, ErrorCode::kTruncated},
    {"unknown_major_version", 3, 0, [](CompoundImage& i) { i.SetU16(0x1A, 5); }, ErrorCode::kBadHeader},
    {"wrong_byte_order", 3, 0, [](CompoundImage& i) { i.SetU16(0x1C, 0xFEFF); }, ErrorCode::kBadHeader},
    {"v3_with_v4_sector_shift", 3, 0, [](CompoundImage& i) { i.SetU16(0x1E, 12); }, ErrorCode::kBadHeader},
    {"v4_with_v3_sector_shift", 4, 0, [](CompoundImage& i) { i.SetU16(0x1E, 9); }, ErrorCode::kBadHeader},
    {"sector_shift_beyond_32_bits", 3, 0, [](CompoundImage& i) { i.SetU16(0x1E, 40); }, ErrorCode::kBadHeader},
    {"wrong_mini_sector_shift", 3, 0, [](CompoundImage& i) { i.SetU16(0x20, 7); }, ErrorCode::kBadHeader},
    {"wrong_mini_stream_cutoff", 3, 0, [](CompoundImage& i) { i.SetU32(0x38, 0x2000); }, ErrorCode::kBadHeader},
    {"no_fat_sectors", 3, 0, [](CompoundImage& i) { i.SetU32(0x2C, 0); }, ErrorCode::kBadHeader},
    {"more_fat_sectors_than_file", 3, 0, [](CompoundImage& i) { i.SetU32(0x2C, 0x00FFFFFF); }, ErrorCode::kBadHeader},
    {"fat_sector_outside_file", 3, 0, [](CompoundImage& i) { i.SetU32(0x4C, 0x00FFFFF0); }, ErrorCode::kBadSector},
    {"fat_sector_is_special_value", 3, 0, [](CompoundImage& i) { i.SetU32(0x4C, 0xFFFFFFFE); }, ErrorCode::kBadSector},
    {"difat_chain_loop", 3, 300,
     [](CompoundImage& i) { i.SetU32(i.SectorOffset(i.difat_sectors[0]) + 508, i.difat_sectors[0]); },
     ErrorCode::kChainLoop},
    {"difat_chain_ends_early", 3, 300,
     [](CompoundImage& i) { i.SetU32(i.SectorOffset(i.difat_sectors[0]) + 508, msg_fixture::kEndOfChain); },
     ErrorCode::kBadHeader},
    {"difat_link_outside_file", 3, 300,
     [](CompoundImage& i) { i.SetU32(i.SectorOffset(i.difat_sectors[0]) + 508, 0x00FFFFF0); }, ErrorCode::kBadSector},
    {"difat_entry_outside_file", 3, 300,
     [](CompoundImage& i) { i.SetU32(i.SectorOffset(i.difat_sectors[0]), 0x00FFFFF0); }, ErrorCode::kBadSector},
    {"first_difat_sector_outside_file", 4, 300, [](CompoundImage& i) { i.SetU32(0x44, 0x00FFFFF0); },
     ErrorCode::kBadSector},
    {"fat_chain_loop", 3, 0, [](CompoundImage& i) { i.SetFatEntry(Start(i, "big") + 1, Start(i, "big")); },
     ErrorCode::kChainLoop},
    {"fat_chain_self_loop", 4, 0,
     [](CompoundImage& i) { i.SetFatEntry(Start(i, "sub/inner_big"), Start(i, "sub/inner_big")); },
     ErrorCode::kChainLoop},
    {"fat_chain_leaves_file", 3, 0, [](CompoundImage& i) { i.SetFatEntry(Start(i, "big"), 0x00FFFFF0); },
     ErrorCode::kBadSector},
    {"fat_chain_hits_free_sector", 3, 0,
     [](CompoundImage& i) { i.SetFatEntry(Start(i, "big"), msg_fixture::kFreeSect); }, ErrorCode::kBadSector},
    {"fat_chain_ends_before_size", 3, 0,
     [](CompoundImage& i) { i.SetFatEntry(Start(i, "big") + 2, msg_fixture::kEndOfChain); }, ErrorCode::kTruncated},
    {"stream_starts_outside_file", 3, 0, [](CompoundImage& i) { i.SetEntryStart(Id(i, "big"), 0x00FFFFF0); },
     ErrorCode::kBadSector},
    {"stream_claims_4gb_in_small_file", 3, 0, [](CompoundImage& i) { i.SetEntrySize(Id(i, "big"), 0xFFFFFFF0); },
     ErrorCode::kBadStream},
    {"v4_stream_claims_2_pow_63", 4, 0, [](CompoundImage& i) { i.SetEntrySize(Id(i, "big"), 1ull << 63); },
     ErrorCode::kBadStream},
    {"minifat_chain_loop", 3, 0, [](CompoundImage& i) { i.SetMiniFatEntry(Start(i, "small") + 1, Start(i, "small")); },
     ErrorCode::kChainLoop},
    {"minifat_chain_leaves_mini_stream", 3, 0, [](CompoundImage& i) { i.SetMiniFatEntry(Start(i, "small"), 5000); },
     ErrorCode::kBadSector},
    {"minifat_chain_ends_before_size", 3, 0,
     [](CompoundImage& i) { i.SetMiniFatEntry(Start(i, "small"), msg_fixture::kEndOfChain); }, ErrorCode::kTruncated},
    {"small_stream_larger_than_mini_stream", 3, 0,
     [](CompoundImage& i) {
       i.SetEntrySize(0, 4096);  // the mini stream shrinks below the 4095 bytes of "inner"
     },
     ErrorCode::kBadSector},
    {"small_stream_starts_outside_minifat", 3, 0, [](CompoundImage& i) { i.SetEntryStart(Id(i, "small"), 100000); },
     ErrorCode::kBadSector},
    {"minifat_chain_loop_in_fat", 3, 0,
     [](CompoundImage& i) {
       i.SetU32(0x3C, i.minifat_sectors[0]);
       i.SetFatEntry(i.minifat_sectors[0], i.minifat_sectors[0]);
     },
     ErrorCode::kChainLoop},
    {"minifat_start_outside_file", 3, 0, [](CompoundImage& i) { i.SetU32(0x3C, 0x00FFFFF0); }, ErrorCode::kBadSector},
    {"mini_stream_claims_more_than_file", 3, 0, [](CompoundImage& i) { i.SetEntrySize(0, 0x7FFFFFFF); },
     ErrorCode::kBadStream},
    {"mini_stream_chain_loop", 3, 0,
     [](CompoundImage& i) { i.SetFatEntry(i.mini_stream_sectors[1], i.mini_stream_sectors[0]); },
     ErrorCode::kChainLoop},
    {"directory_chain_loop", 3, 0,
     [](CompoundImage& i) { i.SetFatEntry(i.directory_sectors[1], i.directory_sectors[0]); }, ErrorCode::kChainLoop},
    {"directory_starts_outside_file", 3, 0, [](CompoundImage& i) { i.SetU32(0x30, 0x00FFFFF0); },
     ErrorCode::kBadSector},
    {"directory_starts_at_end_of_chain", 3, 0, [](CompoundImage& i) { i.SetU32(0x30, msg_fixture::kEndOfChain); },
     ErrorCode::kBadDirectory},
    {"root_entry_is_not_root", 3, 0, [](CompoundImage& i) { i.SetEntryType(0, 1); }, ErrorCode::kBadDirectory},
    {"sibling_points_to_itself", 3, 0,
     [](CompoundImage& i) { i.SetEntryLink(Id(i, "small"), Link::kLeft, Id(i, "small")); }, ErrorCode::kBadDirectory},
    {"child_points_back_to_root", 3, 0, [](CompoundImage& i) { i.SetEntryLink(Id(i, "sub"), Link::kChild, 0); },
     ErrorCode::kBadDirectory},
    {"storage_contains_its_parent", 3, 0,
     [](CompoundImage& i) { i.SetEntryLink(Id(i, "sub/inner"), Link::kRight, Id(i, "sub")); },
     ErrorCode::kBadDirectory},
    {"two_storages_share_a_subtree", 3, 0,
     [](CompoundImage& i) { i.SetEntryLink(Id(i, "sub"), Link::kChild, i.U32At(i.EntryOffset(0) + 0x4C)); },
     ErrorCode::kBadDirectory},
    {"file_cut_inside_a_stream", 3, 0, [](CompoundImage& i) { i.bytes.resize(i.bytes.size() - 1000); },
     ErrorCode::kBadSector},
};

INSTANTIATE_TEST_SUITE_P(Faults,
                         DamagedFileTest,
                         ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

// Every path below the root that the tree reaches, "sub/inner" for nested ones.
std::set<std::string> ReachedPaths(const CompoundFile& file) {
  std::set<std::string> paths;
  std::vector<std::pair<EntryId, std::string>> pending = {{kRootEntry, ""}};
  while (!pending.empty()) {
    auto [storage, prefix] = pending.back();
    pending.pop_back();
    for (EntryId id : file.Children(storage)) {
      const std::string path = prefix + file.entry(id).name;
      paths.insert(path);
      if (file.entry(id).is_storage()) pending.push_back({id, path + "/"});
    }
  }
  return paths;
}

// Damage that cannot loop, reach an entry or sector twice or cost more than the
// file is read around: the rest opens and reads, and a warning names the code
// and the offset of the bad link. In the base file the root's tree is
// sub (left big, right small, whose right is small2), sub holds inner (right
// inner_big), and entry 7 is unused.
struct Tolerated {
  const char* name;
  std::function<void(CompoundImage&)> apply;
  std::function<uint64_t(const CompoundImage&)> where;  // offset of the bad link
  ErrorCode code;
  std::set<std::string> lost;  // paths no longer reached
};

void PrintTo(const Tolerated& t, std::ostream* os) {
  *os << t.name;
}

class ToleratedDamageTest : public ::testing::TestWithParam<Tolerated> {};

TEST_P(ToleratedDamageTest, ReadsWhatRemainsWithAWarning) {
  const Tolerated& t = GetParam();
  CompoundImage img = BaseFile();
  std::set<std::string> expected;
  for (const std::string& path : img.entry_paths) {
    if (!path.empty() && !t.lost.count(path)) expected.insert(path);
  }
  t.apply(img);
  EXPECT_EQ(OpenAndReadAll(img.bytes), std::nullopt);
  Result<CompoundFile> file = CompoundFile::Open(img.bytes);
  ASSERT_TRUE(file) << file.error().detail;
  EXPECT_EQ(ReachedPaths(*file), expected);
  const std::string tail =
      std::string("(") + ErrorCodeName(t.code) + " at offset " + std::to_string(t.where(img)) + ")";
  ASSERT_FALSE(file->warnings().empty());
  EXPECT_TRUE(std::any_of(file->warnings().begin(), file->warnings().end(),
                          [&](const std::string& w) { return w.ends_with(tail); }))
      << tail << " in " << file->warnings().front();
}

uint64_t LinkAt(const CompoundImage& img, const char* path, Link link) {
  return img.EntryOffset(Id(img, path)) + (link == Link::kLeft ? 0x44 : link == Link::kRight ? 0x48 : 0x4C);
}

const Tolerated kTolerated[] = {
    {"link_beyond_directory", [](CompoundImage& i) { i.SetEntryLink(Id(i, "small2"), Link::kRight, 5000); },
     [](const CompoundImage& i) { return LinkAt(i, "small2", Link::kRight); }, ErrorCode::kBadDirectory, {}},
    {"link_to_unused_entry", [](CompoundImage& i) { i.SetEntryLink(Id(i, "small"), Link::kRight, 7); },
     [](const CompoundImage& i) { return LinkAt(i, "small", Link::kRight); }, ErrorCode::kBadDirectory, {"small2"}},
    {"link_to_entry_of_unknown_type", [](CompoundImage& i) { i.SetEntryType(Id(i, "small2"), 9); },
     [](const CompoundImage& i) { return LinkAt(i, "small", Link::kRight); }, ErrorCode::kBadDirectory, {"small2"}},
    {"second_root_in_tree", [](CompoundImage& i) { i.SetEntryType(Id(i, "small2"), 5); },
     [](const CompoundImage& i) { return LinkAt(i, "small", Link::kRight); }, ErrorCode::kBadDirectory, {"small2"}},
    {"storage_child_link_to_unused_entry", [](CompoundImage& i) { i.SetEntryLink(Id(i, "sub"), Link::kChild, 7); },
     [](const CompoundImage& i) { return LinkAt(i, "sub", Link::kChild); }, ErrorCode::kBadDirectory,
     {"sub/inner", "sub/inner_big"}},
    {"directory_chain_leaves_file",
     [](CompoundImage& i) { i.SetFatEntry(i.directory_sectors[0], 0x00FFFFF0); },
     [](const CompoundImage& i) { return i.FatEntryOffset(i.directory_sectors[0]); }, ErrorCode::kBadSector,
     // Entries 4 and up are gone with the second directory sector, sub (4) among them.
     {"small", "small2", "big", "sub", "sub/inner", "sub/inner_big"}},
    {"directory_sector_cut_by_end_of_file",
     [](CompoundImage& i) {
       i.SetFatEntry(i.directory_sectors[0], static_cast<uint32_t>(i.bytes.size() / 512 - 1));
       i.bytes.resize(i.bytes.size() + 100);  // the directory's second sector, cut short
     },
     [](const CompoundImage& i) { return i.bytes.size(); }, ErrorCode::kTruncated,
     {"small", "small2", "big", "sub", "sub/inner", "sub/inner_big"}},
    {"minifat_chain_leaves_file", [](CompoundImage& i) { i.SetFatEntry(i.minifat_sectors.back(), msg_fixture::kFreeSect); },
     [](const CompoundImage& i) { return i.FatEntryOffset(i.minifat_sectors.back()); }, ErrorCode::kBadSector, {}},
};

INSTANTIATE_TEST_SUITE_P(Faults,
                         ToleratedDamageTest,
                         ::testing::ValuesIn(kTolerated),
                         [](const ::testing::TestParamInfo<Tolerated>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace formats::cfb
