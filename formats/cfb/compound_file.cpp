#include "formats/cfb/compound_file.h"

#include <algorithm>
#include <array>

#include "formats/common/codepage.h"
#include "formats/common/limits.h"

namespace formats::cfb {

namespace {

// Special sector numbers.
constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr std::array<uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Header field offsets.
constexpr size_t kOffMajorVersion = 0x1A;
constexpr size_t kOffByteOrder = 0x1C;
constexpr size_t kOffSectorShift = 0x1E;
constexpr size_t kOffMiniSectorShift = 0x20;
constexpr size_t kOffFatSectorCount = 0x2C;
constexpr size_t kOffFirstDirSector = 0x30;
constexpr size_t kOffMiniStreamCutoff = 0x38;
constexpr size_t kOffFirstMiniFatSector = 0x3C;
constexpr size_t kOffFirstDifatSector = 0x44;
constexpr size_t kOffDifatSectorCount = 0x48;
constexpr size_t kOffHeaderDifat = 0x4C;

// Directory entry field offsets.
constexpr size_t kDirNameLength = 0x40;
constexpr size_t kDirType = 0x42;
constexpr size_t kDirLeft = 0x44;
constexpr size_t kDirRight = 0x48;
constexpr size_t kDirChild = 0x4C;
constexpr size_t kDirStartSector = 0x74;
constexpr size_t kDirSize = 0x78;

std::string SectorText(uint32_t sector) {
  switch (sector) {
    case kEndOfChain:
      return "ENDOFCHAIN";
    case kFreeSect:
      return "FREESECT";
    case 0xFFFFFFFD:
      return "FATSECT";
    case 0xFFFFFFFC:
      return "DIFSECT";
    default:
      return std::to_string(sector);
  }
}

uint64_t CeilDiv(uint64_t a, uint64_t b) {
  return a / b + (a % b != 0);
}

// Decodes one code point and advances; a byte that starts no valid UTF-8 comes
// out as itself, so that comparison stays total.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const Utf8Char c = DecodeUtf8At(s, i);
  if (c.length == 0) return static_cast<uint8_t>(s[i++]);
  i += c.length;
  return c.code_point;
}

// The simple upper-casing that the format's name ordering uses, for the scripts
// that names of mail items and attachments plausibly use.
char32_t SimpleUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    const auto b = static_cast<uint8_t>(name[i]);
    if (b < 0x80) {  // the common case: ASCII names of .msg files
      folded.push_back(static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b));
      ++i;
      continue;
    }
    const size_t start = i;
    const char32_t cp = NextCodePoint(name, i);
    const char32_t upper = SimpleUpper(cp);
    if (upper == cp) {
      folded.append(name.substr(start, i - start));  // kept byte for byte, even if not UTF-8
    } else {
      AppendUtf8(folded, upper);
    }
  }
  return folded;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  return FoldName(a) == FoldName(b);
}

Result<CompoundFile> CompoundFile::Open(Bytes file) {
  CompoundFile cf;
  cf.file_ = file;
  if (Status s = cf.ParseHeader(); !s) return std::move(s).error();
  if (Status s = cf.LoadFat(); !s) return std::move(s).error();
  if (Status s = cf.LoadMiniFat(); !s) return std::move(s).error();
  if (Status s = cf.LoadDirectory(); !s) return std::move(s).error();
  if (Status s = cf.BuildTree(); !s) return std::move(s).error();
  if (Status s = cf.LoadMiniStream(); !s) return std::move(s).error();
  return cf;
}

Status CompoundFile::ParseHeader() {
  if (file_.size() > limits::kMaxInputBytes) {
    return MakeError(ErrorCode::kLimitExceeded, 0, "file larger than the accepted maximum");
  }
  if (file_.size() < kHeaderSize) {
    return MakeError(ErrorCode::kTruncated, file_.size(), "file shorter than a compound file header");
  }
  const uint8_t* h = file_.data();
  if (!std::equal(kSignature.begin(), kSignature.end(), h)) {
    return MakeError(ErrorCode::kBadSignature, 0, "not a compound file (signature mismatch)");
  }
  major_version_ = LoadU16Le(h + kOffMajorVersion);
  if (major_version_ != 3 && major_version_ != 4) {
    return MakeError(ErrorCode::kBadHeader, kOffMajorVersion,
                     "unsupported major version " + std::to_string(major_version_));
  }
  if (LoadU16Le(h + kOffByteOrder) != 0xFFFE) {
    return MakeError(ErrorCode::kBadHeader, kOffByteOrder, "byte order mark is not 0xFFFE");
  }
  // Only the two shifts the format allows, each with its version; anything else
  // would make the shift below undefined or the geometry absurd.
  const uint16_t shift = LoadU16Le(h + kOffSectorShift);
  if ((major_version_ == 3 && shift != 9) || (major_version_ == 4 && shift != 12)) {
    return MakeError(
        ErrorCode::kBadHeader, kOffSectorShift,
        "sector shift " + std::to_string(shift) + " does not match version " + std::to_string(major_version_));
  }
  sector_size_ = 1u << shift;
  if (LoadU16Le(h + kOffMiniSectorShift) != 6) {
    return MakeError(ErrorCode::kBadHeader, kOffMiniSectorShift, "mini sector shift is not 6");
  }
  if (LoadU32Le(h + kOffMiniStreamCutoff) != kMiniStreamCutoff) {
    return MakeError(ErrorCode::kBadHeader, kOffMiniStreamCutoff, "mini stream cutoff is not 4096");
  }
  // Version 4 reserves a whole 4096-byte sector for the 512-byte header.
  if (file_.size() <= sector_size_) {
    return MakeError(ErrorCode::kTruncated, file_.size(), "file holds no sector after the header");
  }
  // A short last sector is allowed (some writers trim the file); reads that would
  // need its missing bytes fail instead.
  sector_count_ = static_cast<uint32_t>(CeilDiv(file_.size() - sector_size_, sector_size_));

  fat_sector_count_ = LoadU32Le(h + kOffFatSectorCount);
  if (fat_sector_count_ == 0 || fat_sector_count_ > sector_count_) {
    return MakeError(ErrorCode::kBadHeader, kOffFatSectorCount,
                     "FAT sector count " + std::to_string(fat_sector_count_) + " but the file has " +
                         std::to_string(sector_count_) + " sectors");
  }
  first_directory_sector_ = LoadU32Le(h + kOffFirstDirSector);
  first_minifat_sector_ = LoadU32Le(h + kOffFirstMiniFatSector);
  first_difat_sector_ = LoadU32Le(h + kOffFirstDifatSector);
  difat_sector_count_ = LoadU32Le(h + kOffDifatSectorCount);
  return {};
}

std::optional<Bytes> CompoundFile::Sector(uint32_t sector) const {
  if (sector >= sector_count_) return std::nullopt;
  const uint64_t offset = (static_cast<uint64_t>(sector) + 1) * sector_size_;
  const uint64_t size = std::min<uint64_t>(sector_size_, file_.size() - offset);
  return Slice(file_, offset, size);
}

Status CompoundFile::LoadFat() {
  std::vector<uint32_t>& fat_sectors = fat_sectors_;
  fat_sectors.reserve(fat_sector_count_);
  auto take = [&](uint32_t sector, uint64_t where) -> Status {
    if (sector >= sector_count_) {
      return MakeError(ErrorCode::kBadSector, where,
                       "FAT sector " + SectorText(sector) + " listed in the DIFAT is outside the file");
    }
    fat_sectors.push_back(sector);
    return {};
  };
  for (uint32_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_sector_count_; ++i) {
    const size_t off = kOffHeaderDifat + 4 * i;
    if (Status s = take(LoadU32Le(file_.data() + off), off); !s) return s;
  }

  // The rest of the list is in a chain of DIFAT sectors, each ending with the
  // number of the next one. The visited set bounds the walk by the file's size.
  std::vector<bool> visited(sector_count_, false);
  uint32_t difat = first_difat_sector_;
  const uint32_t per_sector = sector_size_ / 4 - 1;
  while (fat_sectors.size() < fat_sector_count_) {
    if (difat > kMaxRegSect) {
      return MakeError(ErrorCode::kBadHeader, kOffFatSectorCount,
                       "DIFAT lists " + std::to_string(fat_sectors.size()) + " of " +
                           std::to_string(fat_sector_count_) + " FAT sectors");
    }
    std::optional<Bytes> data = Sector(difat);
    if (!data || data->size() < sector_size_) {
      return MakeError(ErrorCode::kBadSector, kOffFirstDifatSector,
                       "DIFAT sector " + SectorText(difat) + " is outside the file");
    }
    if (visited[difat]) {
      return MakeError(ErrorCode::kChainLoop, kOffFirstDifatSector,
                       "DIFAT chain visits sector " + std::to_string(difat) + " twice");
    }
    visited[difat] = true;
    const uint64_t base = (static_cast<uint64_t>(difat) + 1) * sector_size_;
    for (uint32_t i = 0; i < per_sector && fat_sectors.size() < fat_sector_count_; ++i) {
      if (Status s = take(LoadU32Le(data->data() + 4 * i), base + 4 * i); !s) return s;
    }
    difat = LoadU32Le(data->data() + 4 * per_sector);
  }
  if (difat_sector_count_ != std::count(visited.begin(), visited.end(), true)) {
    // The count is redundant with the chain; old writers get it wrong.
    Warn(ErrorCode::kBadHeader, kOffDifatSectorCount, "DIFAT sector count in the header differs from the chain");
  }

  const uint32_t per_fat_sector = sector_size_ / 4;
  fat_.reserve(static_cast<size_t>(fat_sector_count_) * per_fat_sector);
  for (uint32_t sector : fat_sectors) {
    std::optional<Bytes> data = Sector(sector);
    if (!data || data->size() < sector_size_) {
      return MakeError(ErrorCode::kTruncated, file_.size(),
                       "FAT sector " + std::to_string(sector) + " runs past the end of the file");
    }
    for (uint32_t i = 0; i < per_fat_sector; ++i) fat_.push_back(LoadU32Le(data->data() + 4 * i));
  }
  return {};
}

// Walks a regular chain to its ENDOFCHAIN (for the MiniFAT and the directory,
// whose length is not declared anywhere trustworthy). A chain that starts
// nowhere is refused. A chain that later runs to a number that is no sector of
// the file ends there: what it holds up to that point is read, and the cut is
// reported through `cut`. That cannot loop or reach a sector twice (a repeat
// stays an error), and costs less than the whole chain would.
Result<std::vector<uint32_t>> CompoundFile::WalkToEnd(uint32_t start, uint64_t header_offset, const char* what,
                                                      std::optional<ParseError>& cut) const {
  std::vector<uint32_t> sectors;
  std::vector<bool> visited(sector_count_, false);
  uint32_t cur = start;
  while (cur != kEndOfChain) {
    if (cur >= sector_count_ || cur >= fat_.size()) {
      const std::string detail =
          std::string(what) + " chain reaches sector " + SectorText(cur) + ", which is not a sector of the file";
      if (sectors.empty()) return MakeError(ErrorCode::kBadSector, header_offset, detail);
      // Where the FAT holds the bad link.
      const uint32_t per_fat_sector = sector_size_ / 4;
      const uint32_t last = sectors.back();
      cut = MakeError(ErrorCode::kBadSector,
                      (static_cast<uint64_t>(fat_sectors_[last / per_fat_sector]) + 1) * sector_size_ +
                          4 * (last % per_fat_sector),
                      detail);
      break;
    }
    if (visited[cur]) {
      return MakeError(ErrorCode::kChainLoop, header_offset,
                       std::string(what) + " chain visits sector " + std::to_string(cur) + " twice");
    }
    visited[cur] = true;
    sectors.push_back(cur);
    cur = fat_[cur];
  }
  return sectors;
}

// Every entry of a damaged directory may carry a bad link: past this many lines
// one more says how many were left out, so the list stays small whatever the file.
constexpr size_t kMaxWarnings = 100;

void CompoundFile::Warn(ErrorCode code, uint64_t offset, std::string detail) {
  if (warnings_.size() < kMaxWarnings) {
    warnings_.push_back(std::move(detail) + " (" + ErrorCodeName(code) + " at offset " + std::to_string(offset) + ")");
    return;
  }
  if (warnings_.size() == kMaxWarnings) warnings_.emplace_back();
  warnings_.back() = "and " + std::to_string(++omitted_warnings_) + " more warnings";
}

Status CompoundFile::LoadMiniFat() {
  std::optional<ParseError> cut;
  Result<std::vector<uint32_t>> chain =
      WalkToEnd(first_minifat_sector_, kOffFirstMiniFatSector, "MiniFAT", cut);
  if (!chain) return std::move(chain).error();
  // Small streams whose chains need the missing part fail when they are read.
  if (cut) Warn(cut->code, cut->offset, cut->detail + "; the MiniFAT ends there");
  const uint32_t per_sector = sector_size_ / 4;
  minifat_.reserve(chain->size() * per_sector);
  for (uint32_t sector : *chain) {
    std::optional<Bytes> data = Sector(sector);
    if (!data || data->size() < sector_size_) {
      Warn(ErrorCode::kTruncated, file_.size(), "MiniFAT sector runs past the end of the file; the MiniFAT ends there");
      break;
    }
    for (uint32_t i = 0; i < per_sector; ++i) minifat_.push_back(LoadU32Le(data->data() + 4 * i));
  }
  return {};
}

Status CompoundFile::LoadDirectory() {
  // Entries of a directory cut short are missing; links to them are then links
  // beyond the directory (see BuildTree).
  std::optional<ParseError> cut;
  Result<std::vector<uint32_t>> chain =
      WalkToEnd(first_directory_sector_, kOffFirstDirSector, "directory", cut);
  if (!chain) return std::move(chain).error();
  if (cut) Warn(cut->code, cut->offset, cut->detail + "; the directory ends there");
  if (chain->empty()) {
    return MakeError(ErrorCode::kBadDirectory, kOffFirstDirSector, "the directory is empty");
  }
  const uint32_t per_sector = sector_size_ / kDirEntrySize;
  if (chain->size() > limits::kMaxDirectoryEntries / per_sector) {
    return MakeError(ErrorCode::kLimitExceeded, kOffFirstDirSector,
                     "directory of " + std::to_string(chain->size()) + " sectors holds more than " +
                         std::to_string(limits::kMaxDirectoryEntries) + " entries");
  }
  entries_.reserve(chain->size() * per_sector);
  for (size_t k = 0; k < chain->size(); ++k) {
    std::optional<Bytes> data = Sector((*chain)[k]);
    if (!data || data->size() < sector_size_) {
      if (k == 0) {
        return MakeError(ErrorCode::kTruncated, file_.size(), "directory sector runs past the end of the file");
      }
      Warn(ErrorCode::kTruncated, file_.size(), "directory sector runs past the end of the file; the directory ends there");
      chain->resize(k);
      break;
    }
    for (uint32_t i = 0; i < per_sector; ++i) {
      const uint8_t* e = data->data() + i * kDirEntrySize;
      DirectoryEntry entry;
      const uint8_t type = e[kDirType];
      entry.type = (type == 1 || type == 2 || type == 5) ? static_cast<EntryType>(type) : EntryType::kUnused;
      if (entry.type != EntryType::kUnused) {
        // The length counts bytes with the terminating NUL. Clamp it to the field
        // and drop an odd byte rather than reject: the name is content.
        uint16_t length = std::min<uint16_t>(LoadU16Le(e + kDirNameLength), 64) & ~1u;
        const size_t units = length >= 2 ? length / 2 - 1 : 0;
        entry.name = Utf16LeToUtf8(Bytes(e, units * 2));
        entry.start_sector = LoadU32Le(e + kDirStartSector);
        entry.size = LoadU64Le(e + kDirSize);
        // Old writers left garbage in the upper half; version 3 sizes are 32-bit.
        if (major_version_ == 3) entry.size &= 0xFFFFFFFFu;
      }
      entries_.push_back(std::move(entry));
    }
  }
  directory_sectors_ = std::move(*chain);
  if (entries_[kRootEntry].type != EntryType::kRoot) {
    return MakeError(ErrorCode::kBadDirectory, (static_cast<uint64_t>(directory_sectors_.front()) + 1) * sector_size_,
                     "directory entry 0 is not the root storage");
  }
  return {};
}

Status CompoundFile::BuildTree() {
  const uint32_t n = static_cast<uint32_t>(entries_.size());
  const uint32_t per_sector = sector_size_ / kDirEntrySize;
  auto raw = [&](EntryId id) -> const uint8_t* {
    const uint32_t sector = directory_sectors_[id / per_sector];
    return file_.data() + (static_cast<uint64_t>(sector) + 1) * sector_size_ + (id % per_sector) * kDirEntrySize;
  };
  auto raw_offset = [&](EntryId id) -> uint64_t { return static_cast<uint64_t>(raw(id) - file_.data()); };

  // Every entry belongs to at most one storage and appears once: one visited set
  // over the whole traversal turns cycles and shared subtrees into errors.
  std::vector<bool> visited(n, false);
  visited[kRootEntry] = true;
  folded_.assign(n, std::string());
  by_name_.assign(n, std::vector<EntryId>());
  struct Pending {
    EntryId storage;
    int depth;
  };
  std::vector<Pending> storages = {{kRootEntry, 0}};
  std::vector<EntryId> stack;
  while (!storages.empty()) {
    const Pending p = storages.back();
    storages.pop_back();
    std::vector<EntryId> children;
    uint32_t cur = LoadU32Le(raw(p.storage) + kDirChild);
    uint64_t from = raw_offset(p.storage) + kDirChild;
    stack.clear();
    // In-order walk with an explicit stack: a degenerate tree of thousands of
    // siblings costs memory, not native stack.
    while (cur != kNoStream || !stack.empty()) {
      while (cur != kNoStream) {
        // A link that leads to no storage or stream of the tree (past the
        // directory, to an unused entry, one of unknown type or a second root)
        // is read as NOSTREAM, as other readers do: nothing is followed from
        // there, so it can neither loop nor reach an entry twice. What hangs
        // below such an entry, if anything, is lost.
        if (cur >= n) {
          Warn(ErrorCode::kBadDirectory, from,
               "directory link " + std::to_string(cur) + " beyond the " + std::to_string(n) + " entries ignored");
          cur = kNoStream;
          continue;
        }
        if (visited[cur]) {
          return MakeError(ErrorCode::kBadDirectory, from,
                           "directory entry " + std::to_string(cur) + " is reached twice (cycle)");
        }
        const EntryType type = entries_[cur].type;
        if (type != EntryType::kStorage && type != EntryType::kStream) {
          Warn(ErrorCode::kBadDirectory, from,
               "directory link to entry " + std::to_string(cur) + ", which is not in use, ignored");
          cur = kNoStream;
          continue;
        }
        visited[cur] = true;
        stack.push_back(cur);
        from = raw_offset(cur) + kDirLeft;
        cur = LoadU32Le(raw(cur) + kDirLeft);
      }
      if (stack.empty()) break;  // the storage's child link was ignored
      cur = stack.back();
      stack.pop_back();
      children.push_back(cur);
      if (entries_[cur].type == EntryType::kStorage) {
        if (p.depth + 1 > limits::kMaxStorageDepth) {
          return MakeError(ErrorCode::kLimitExceeded, raw_offset(cur),
                           "storages nested deeper than " + std::to_string(limits::kMaxStorageDepth));
        }
        storages.push_back({cur, p.depth + 1});
      } else if (LoadU32Le(raw(cur) + kDirChild) != kNoStream) {
        // A stream has no children; the link is ignored, not followed.
        Warn(ErrorCode::kBadDirectory, raw_offset(cur) + kDirChild,
             "stream entry " + std::to_string(cur) + " has a child link");
      }
      from = raw_offset(cur) + kDirRight;
      cur = LoadU32Le(raw(cur) + kDirRight);
    }
    // Index by folded name; the stable sort keeps the first in tree order first
    // when a broken writer stored a name twice.
    std::vector<EntryId> by_name = children;
    for (EntryId id : children) folded_[id] = FoldName(entries_[id].name);
    std::stable_sort(by_name.begin(), by_name.end(), [this](EntryId x, EntryId y) { return folded_[x] < folded_[y]; });
    by_name_[p.storage] = std::move(by_name);
    entries_[p.storage].children = std::move(children);
  }
  return {};
}

// A sector seen twice in one chain. Sorting a copy costs time in proportion to
// the chain, not to the file, so reading many small streams of a large file
// stays cheap.
static std::optional<uint32_t> FirstRepeat(std::vector<uint32_t> sectors) {
  std::sort(sectors.begin(), sectors.end());
  auto it = std::adjacent_find(sectors.begin(), sectors.end());
  if (it == sectors.end()) return std::nullopt;
  return *it;
}

Result<std::vector<uint32_t>> CompoundFile::WalkChain(uint32_t start, uint64_t count, const char* what) const {
  std::vector<uint32_t> sectors;
  sectors.reserve(count);  // callers bound count by the sectors present
  uint32_t cur = start;
  // At most `count` steps, so a loop cannot hang the walk; it is reported below.
  for (uint64_t i = 0; i < count; ++i) {
    if (cur == kEndOfChain) {
      return MakeError(
          ErrorCode::kTruncated, 0,
          std::string(what) + " chain ends after " + std::to_string(i) + " of " + std::to_string(count) + " sectors");
    }
    if (cur >= sector_count_ || cur >= fat_.size()) {
      return MakeError(
          ErrorCode::kBadSector, 0,
          std::string(what) + " chain reaches sector " + SectorText(cur) + ", which is not a sector of the file");
    }
    sectors.push_back(cur);
    cur = fat_[cur];
  }
  if (std::optional<uint32_t> repeat = FirstRepeat(sectors)) {
    return MakeError(ErrorCode::kChainLoop, (static_cast<uint64_t>(*repeat) + 1) * sector_size_,
                     std::string(what) + " chain visits sector " + std::to_string(*repeat) + " twice");
  }
  // Sectors past the declared size are ignored, as the format allows.
  return sectors;
}

Status CompoundFile::LoadMiniStream() {
  const DirectoryEntry& root = entries_[kRootEntry];
  mini_stream_size_ = root.size;
  if (mini_stream_size_ == 0) return {};
  if (mini_stream_size_ > static_cast<uint64_t>(sector_count_) * sector_size_) {
    return MakeError(ErrorCode::kBadStream, 0,
                     "mini stream claims " + std::to_string(mini_stream_size_) + " bytes, more than the file");
  }
  Result<std::vector<uint32_t>> chain =
      WalkChain(root.start_sector, CeilDiv(mini_stream_size_, sector_size_), "mini stream");
  if (!chain) return std::move(chain).error();
  mini_stream_sectors_ = std::move(*chain);
  return {};
}

std::optional<EntryId> CompoundFile::FindChild(EntryId storage, std::string_view name) const {
  // A search of our own index rather than of the stored tree: it does not depend
  // on the writer having sorted the names as the format wants.
  const std::vector<EntryId>& ids = by_name_[storage];
  const std::string key = FoldName(name);
  auto it = std::lower_bound(ids.begin(), ids.end(), key,
                             [this](EntryId id, const std::string& k) { return folded_[id] < k; });
  if (it == ids.end() || folded_[*it] != key) return std::nullopt;
  return *it;
}

// Each sector belongs to one stream at most. Nothing else in the file stops many
// directory entries (128 bytes each) from naming one long chain, and read once
// per entry such a file would multiply memory and output by the number of
// entries. Reading the same stream again is free; the owner table costs 4 bytes
// per sector, made on the first read.
Status CompoundFile::Claim(std::vector<uint32_t>& owners, size_t owner_count, const std::vector<uint32_t>& chain,
                           EntryId id, const char* what) const {
  if (owners.empty()) owners.assign(owner_count, 0);
  for (uint32_t sector : chain) {
    const uint32_t owner = owners[sector];
    if (owner != 0 && owner != id + 1) {
      return MakeError(ErrorCode::kBadSector, 0,
                       "stream \"" + entries_[id].name + "\" shares " + what + " " + std::to_string(sector) +
                           " with \"" + entries_[owner - 1].name + "\"");
    }
  }
  for (uint32_t sector : chain) owners[sector] = id + 1;
  return {};
}

Result<std::vector<Bytes>> CompoundFile::StreamRuns(EntryId id) const {
  if (id >= entries_.size() || !entries_[id].is_stream()) {
    return MakeError(ErrorCode::kBadStream, 0, "entry " + std::to_string(id) + " is not a stream");
  }
  const DirectoryEntry& e = entries_[id];
  std::vector<Bytes> runs;
  auto add = [&runs](Bytes piece) {
    if (!runs.empty() && runs.back().data() + runs.back().size() == piece.data()) {
      runs.back() = Bytes(runs.back().data(), runs.back().size() + piece.size());
    } else {
      runs.push_back(piece);
    }
  };
  if (e.size == 0) return runs;

  if (e.size < kMiniStreamCutoff) {
    if (e.size > mini_stream_size_) {
      return MakeError(ErrorCode::kBadStream, 0,
                       "stream \"" + e.name + "\" claims more bytes than the mini stream holds");
    }
    const uint64_t count = CeilDiv(e.size, kMiniSectorSize);
    std::vector<uint32_t> chain;
    chain.reserve(count);  // e.size is below the cutoff: at most 64 mini sectors
    uint32_t cur = e.start_sector;
    uint64_t remaining = e.size;
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t piece = std::min<uint64_t>(remaining, kMiniSectorSize);
      if (cur == kEndOfChain) {
        return MakeError(ErrorCode::kTruncated, 0, "mini chain of \"" + e.name + "\" ends before its size is covered");
      }
      if (cur >= minifat_.size() || static_cast<uint64_t>(cur) * kMiniSectorSize + piece > mini_stream_size_) {
        return MakeError(
            ErrorCode::kBadSector, 0,
            "mini chain of \"" + e.name + "\" reaches mini sector " + SectorText(cur) + " outside the mini stream");
      }
      chain.push_back(cur);
      remaining -= piece;
      cur = minifat_[cur];
    }
    if (std::optional<uint32_t> repeat = FirstRepeat(chain)) {
      return MakeError(ErrorCode::kChainLoop, 0,
                       "mini chain of \"" + e.name + "\" visits mini sector " + std::to_string(*repeat) + " twice");
    }
    if (Status s = Claim(mini_sector_owner_, minifat_.size(), chain, id, "mini sector"); !s) return s.error();
    remaining = e.size;
    for (uint32_t mini : chain) {
      const uint64_t piece = std::min<uint64_t>(remaining, kMiniSectorSize);
      const uint64_t offset = static_cast<uint64_t>(mini) * kMiniSectorSize;
      // 64 divides the sector size, so a mini sector never straddles two sectors.
      std::optional<Bytes> sector = Sector(mini_stream_sectors_[offset / sector_size_]);
      std::optional<Bytes> bytes;
      if (sector) bytes = Slice(*sector, offset % sector_size_, piece);
      if (!bytes) {
        return MakeError(ErrorCode::kTruncated, file_.size(), "mini stream runs past the end of the file");
      }
      add(*bytes);
      remaining -= piece;
    }
    return runs;
  }

  // Never trust the declared size: it must fit in the sectors present before any
  // walk or allocation depends on it.
  if (e.size > static_cast<uint64_t>(sector_count_) * sector_size_) {
    return MakeError(ErrorCode::kBadStream, 0,
                     "stream \"" + e.name + "\" claims " + std::to_string(e.size) + " bytes, more than the file holds");
  }
  Result<std::vector<uint32_t>> chain = WalkChain(e.start_sector, CeilDiv(e.size, sector_size_), "stream");
  if (!chain) return std::move(chain).error();
  if (Status s = Claim(sector_owner_, sector_count_, *chain, id, "sector"); !s) return s.error();
  uint64_t remaining = e.size;
  for (uint32_t sector : *chain) {
    const uint64_t piece = std::min<uint64_t>(remaining, sector_size_);
    std::optional<Bytes> bytes = Slice(file_, (static_cast<uint64_t>(sector) + 1) * sector_size_, piece);
    if (!bytes) {
      return MakeError(ErrorCode::kTruncated, file_.size(), "stream \"" + e.name + "\" runs past the end of the file");
    }
    add(*bytes);
    remaining -= piece;
  }
  return runs;
}

Status CompoundFile::ForEachChunk(EntryId id, const ChunkSink& sink) const {
  Result<std::vector<Bytes>> runs = StreamRuns(id);
  if (!runs) return std::move(runs).error();
  for (Bytes run : *runs) {
    if (!sink(run)) break;
  }
  return {};
}

Result<std::vector<uint8_t>> CompoundFile::ReadStream(EntryId id, uint64_t max_bytes) const {
  if (id < entries_.size() && entries_[id].is_stream() && entries_[id].size > max_bytes) {
    // A size the file cannot hold is damage, not a large stream.
    const uint64_t capacity =
        entries_[id].size < kMiniStreamCutoff ? mini_stream_size_ : static_cast<uint64_t>(sector_count_) * sector_size_;
    if (entries_[id].size > capacity) return StreamRuns(id).error();
    return MakeError(ErrorCode::kLimitExceeded, 0,
                     "stream \"" + entries_[id].name + "\" is larger than " + std::to_string(max_bytes) + " bytes");
  }
  Result<std::vector<Bytes>> runs = StreamRuns(id);
  if (!runs) return std::move(runs).error();
  std::vector<uint8_t> out;
  out.reserve(entries_[id].size);  // checked against the data present by StreamRuns
  for (Bytes run : *runs) out.insert(out.end(), run.begin(), run.end());
  return out;
}

}  // namespace formats::cfb
