// Reader of compound files (the container of .msg items): a small FAT file
// system inside one file, with storages (folders) and streams (files).
//
// Model: the file is an array of sectors (512 bytes in version 3, 4096 in
// version 4) after a header. The FAT links each sector to the next one of its
// chain; the DIFAT lists where the FAT sectors are. Streams shorter than 4096
// bytes live in the "mini stream" (itself a regular chain owned by the root
// entry) in 64-byte mini sectors linked by the MiniFAT. The directory is an
// array of 128-byte entries; the children of each storage form a binary tree
// of sibling links rooted at the storage's child link.
//
// Open() validates all of the structure once (header, DIFAT, FAT, MiniFAT, mini
// stream chain, directory and every storage's tree). Stream chains are checked
// when a stream is read, each read costing at most the stream's own sectors.
// The reader never copies the file: it keeps a view of the caller's bytes,
// which must outlive the CompoundFile and every span handed out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/result.h"

namespace formats::cfb {

enum class EntryType : uint8_t {
  kUnused = 0,
  kStorage = 1,
  kStream = 2,
  kRoot = 5,
};

// Directory entry index. The root storage is always entry 0.
using EntryId = uint32_t;
inline constexpr EntryId kRootEntry = 0;

struct DirectoryEntry {
  std::string name;  // UTF-8, decoded from the stored UTF-16LE name
  EntryType type = EntryType::kUnused;
  uint32_t start_sector = 0;  // first sector (or mini sector) of a stream
  uint64_t size = 0;          // stream size in bytes (version 3: low 32 bits only)
  // Storages and the root: the children, in the in-order of the sibling tree
  // (the order the writer sorted them by).
  std::vector<EntryId> children;

  bool is_storage() const { return type == EntryType::kStorage || type == EntryType::kRoot; }
  bool is_stream() const { return type == EntryType::kStream; }
};

// Receives successive pieces of a stream; returns false to stop early.
using ChunkSink = std::function<bool(Bytes)>;

// Compares two entry names as the compound file format does: code unit by code
// unit after simple upper-casing (ASCII, Latin-1, Greek and Cyrillic letters).
bool NamesEqual(std::string_view a, std::string_view b);
// The upper-cased form of a name that NamesEqual compares.
std::string FoldName(std::string_view name);

class CompoundFile {
 public:
  // Validates the structure of `file`. Errors: kTruncated, kBadSignature,
  // kBadHeader, kBadSector, kChainLoop, kBadDirectory, kBadStream,
  // kLimitExceeded. The returned object refers to `file` without copying it.
  static Result<CompoundFile> Open(Bytes file);

  int major_version() const { return major_version_; }
  uint32_t sector_size() const { return sector_size_; }

  size_t entry_count() const { return entries_.size(); }
  // `id` must be a valid index (< entry_count()); entries reached through the
  // tree (children of storages) always are.
  const DirectoryEntry& entry(EntryId id) const { return entries_[id]; }
  const std::vector<EntryId>& Children(EntryId storage) const { return entries_[storage].children; }

  // The child of `storage` named `name` (case-insensitive), of any type; the first
  // in tree order when a broken writer stored the name twice.
  std::optional<EntryId> FindChild(EntryId storage, std::string_view name) const;

  // The whole stream `id` in memory. Errors: kLimitExceeded when larger than
  // max_bytes (nothing is allocated then), kBadStream for a non-stream entry or
  // a size beyond the data present, kBadSector / kChainLoop / kTruncated for a
  // broken chain.
  Result<std::vector<uint8_t>> ReadStream(EntryId id, uint64_t max_bytes) const;

  // Hands the stream to `sink` as spans into the file, consecutive sectors merged
  // into one span. The chain is validated completely before the first call, so a
  // broken stream fails without giving any bytes. The spans live as long as the
  // caller's file bytes.
  Status ForEachChunk(EntryId id, const ChunkSink& sink) const;

  // Tolerated oddities and damage met in Open, one line each, ending in
  // "(<code> at offset <n>)". Damage that cannot loop, reach a sector or entry
  // twice or cost more than the file is read around: a directory link to no
  // entry of the tree is read as NOSTREAM, and a directory or MiniFAT chain
  // that leaves the file ends where it left.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  CompoundFile() = default;

  Status ParseHeader();
  Status LoadFat();
  Status LoadMiniFat();
  Status LoadDirectory();
  Status BuildTree();
  Status LoadMiniStream();

  // Sectors of a regular chain up to its ENDOFCHAIN; a chain cut short after its
  // first sector ends there, with the cut in `cut`.
  Result<std::vector<uint32_t>> WalkToEnd(uint32_t start, uint64_t header_offset, const char* what,
                                          std::optional<ParseError>& cut) const;
  // Sectors of a regular chain that starts at `start`, exactly `count` of them.
  Result<std::vector<uint32_t>> WalkChain(uint32_t start, uint64_t count, const char* what) const;
  // Collects the file spans of a stream, consecutive pieces merged.
  Result<std::vector<Bytes>> StreamRuns(EntryId id) const;
  std::optional<Bytes> Sector(uint32_t sector) const;  // may be short at the end of the file
  void Warn(ErrorCode code, uint64_t offset, std::string detail);
  // Makes `id` the owner of the (mini) sectors of `chain`; kBadSector when another
  // stream owns one of them already.
  Status Claim(std::vector<uint32_t>& owners, size_t owner_count, const std::vector<uint32_t>& chain, EntryId id,
               const char* what) const;

  Bytes file_;
  int major_version_ = 0;
  uint32_t sector_size_ = 0;
  uint32_t sector_count_ = 0;  // sectors present in the file (the last may be short)
  uint32_t fat_sector_count_ = 0;
  uint32_t first_directory_sector_ = 0;
  uint32_t first_minifat_sector_ = 0;
  uint32_t first_difat_sector_ = 0;
  uint32_t difat_sector_count_ = 0;

  std::vector<uint32_t> fat_sectors_;  // where the FAT lies, for the offsets of its entries
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> minifat_;
  std::vector<uint32_t> directory_sectors_;    // the directory chain, for the links
  std::vector<uint32_t> mini_stream_sectors_;  // regular sectors holding the mini stream
  uint64_t mini_stream_size_ = 0;
  std::vector<DirectoryEntry> entries_;
  // By sector and by mini sector: 1 + the entry id of the stream whose chain
  // holds it, 0 while no read has reached it. Filled as streams are read.
  mutable std::vector<uint32_t> sector_owner_;
  mutable std::vector<uint32_t> mini_sector_owner_;
  std::vector<std::string> folded_;            // by entry id: FoldName(name)
  std::vector<std::vector<EntryId>> by_name_;  // by storage id: children sorted by folded name
  std::vector<std::string> warnings_;
  uint64_t omitted_warnings_ = 0;
};

}  // namespace formats::cfb
