// A small compound file writer for tests and sample files: a tree of storages
// and streams in, the file's bytes out, together with where each structure
// landed so that a test can damage exactly one field.
//
// Layout written: header, FAT sectors, DIFAT sectors, directory, MiniFAT, mini
// stream, then the regular streams, each chain in consecutive sectors. Streams
// under 4096 bytes go to the mini stream. Each storage's children form a
// balanced binary tree in the format's name order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msg_fixture {

struct Node {
  std::string name;  // UTF-8
  bool is_storage = false;
  std::vector<uint8_t> data;   // streams
  std::vector<Node> children;  // storages

  static Node Stream(std::string name, std::vector<uint8_t> data);
  static Node Storage(std::string name, std::vector<Node> children = {});
};

struct CfbOptions {
  int version = 3;  // 3: 512-byte sectors, 4: 4096-byte sectors
  // FAT sectors added beyond what the file needs; more than 109 FAT sectors in
  // all make the file carry DIFAT sectors.
  uint32_t extra_fat_sectors = 0;
};

// Which sibling-tree link of a directory entry.
enum class Link { kLeft, kRight, kChild };

inline constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr uint32_t kFreeSect = 0xFFFFFFFF;
inline constexpr uint32_t kNoStream = 0xFFFFFFFF;

// The written file plus the knobs that break it, one field at a time.
class CompoundImage {
 public:
  std::vector<uint8_t> bytes;

  uint32_t sector_size = 512;
  std::vector<uint32_t> fat_sectors, difat_sectors, directory_sectors, minifat_sectors, mini_stream_sectors;
  std::vector<std::string> entry_paths;  // by entry id: "" for the root, "a/b" below it
  std::vector<uint32_t> entry_starts;    // first sector or mini sector, by entry id

  // Entry id of a path ("__substg1.0_0037001F", "__recip_version1.0_#00000000/...").
  std::optional<uint32_t> EntryId(std::string_view path) const;
  uint64_t SectorOffset(uint32_t sector) const { return (static_cast<uint64_t>(sector) + 1) * sector_size; }
  uint64_t EntryOffset(uint32_t id) const;
  uint64_t FatEntryOffset(uint32_t sector) const;
  uint64_t MiniFatEntryOffset(uint32_t mini_sector) const;

  uint32_t U32At(uint64_t offset) const;
  void SetU16(uint64_t offset, uint16_t value);
  void SetU32(uint64_t offset, uint32_t value);
  void SetU64(uint64_t offset, uint64_t value);

  void SetFatEntry(uint32_t sector, uint32_t next) { SetU32(FatEntryOffset(sector), next); }
  void SetMiniFatEntry(uint32_t mini_sector, uint32_t next) { SetU32(MiniFatEntryOffset(mini_sector), next); }
  void SetEntryLink(uint32_t id, Link link, uint32_t target);
  void SetEntryType(uint32_t id, uint8_t type);
  void SetEntryStart(uint32_t id, uint32_t sector) { SetU32(EntryOffset(id) + 0x74, sector); }
  void SetEntrySize(uint32_t id, uint64_t size) { SetU64(EntryOffset(id) + 0x78, size); }
};

CompoundImage WriteCompoundFile(const Node& root, const CfbOptions& options = {});

// UTF-8 to UTF-16LE bytes, without terminator.
std::vector<uint8_t> Utf16Le(std::string_view utf8);

}  // namespace msg_fixture
