#include "tools/msg_fixture/cfb_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace msg_fixture {

namespace {

constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kCutoff = 4096;

uint32_t CeilDiv(uint64_t a, uint64_t b) {
  return static_cast<uint32_t>(a / b + (a % b != 0));
}

void Put16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
  b[off] = v & 0xFF;
  b[off + 1] = v >> 8;
}
void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = (v >> (8 * i)) & 0xFF;
}
void Put64(std::vector<uint8_t>& b, size_t off, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[off + i] = (v >> (8 * i)) & 0xFF;
}

struct Flat {
  std::vector<uint16_t> name;  // UTF-16 code units
  std::string path;
  uint8_t type = 0;
  const std::vector<uint8_t>* data = nullptr;
  std::vector<uint32_t> children;
  uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  uint32_t start = kEndOfChain;
  uint64_t size = 0;
};

std::vector<uint16_t> Utf16Units(std::string_view utf8) {
  std::vector<uint8_t> bytes = Utf16Le(utf8);
  std::vector<uint16_t> units(bytes.size() / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = bytes[2 * i] | (bytes[2 * i + 1] << 8);
  return units;
}

uint16_t Upper(uint16_t c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// The format's order: shorter names first, then code unit by code unit upper-cased.
bool NameLess(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
  }
  return false;
}

void Flatten(const Node& node, const std::string& path, std::vector<Flat>& out, uint32_t id) {
  out[id].name = Utf16Units(node.name);
  out[id].path = path;
  out[id].type = id == 0 ? 5 : node.is_storage ? 1 : 2;
  out[id].data = node.is_storage ? nullptr : &node.data;
  out[id].size = node.is_storage ? 0 : node.data.size();
  if (!node.is_storage) return;
  std::vector<uint32_t> ids;
  for (const Node& c : node.children) {
    const uint32_t cid = static_cast<uint32_t>(out.size());
    out.emplace_back();
    ids.push_back(cid);
    (void)c;
  }
  for (size_t i = 0; i < node.children.size(); ++i) {
    Flatten(node.children[i], path.empty() ? node.children[i].name : path + "/" + node.children[i].name, out, ids[i]);
  }
  std::sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) { return NameLess(out[a].name, out[b].name); });
  out[id].children = ids;
}

uint32_t BuildTree(std::vector<Flat>& e, const std::vector<uint32_t>& ids, int lo, int hi) {
  if (lo > hi) return kNoStream;
  const int mid = (lo + hi) / 2;
  const uint32_t node = ids[mid];
  e[node].left = BuildTree(e, ids, lo, mid - 1);
  e[node].right = BuildTree(e, ids, mid + 1, hi);
  return node;
}

}  // namespace

Node Node::Stream(std::string name, std::vector<uint8_t> data) {
  Node n;
  n.name = std::move(name);
  n.data = std::move(data);
  return n;
}

Node Node::Storage(std::string name, std::vector<Node> children) {
  Node n;
  n.name = std::move(name);
  n.is_storage = true;
  n.children = std::move(children);
  return n;
}

std::vector<uint8_t> Utf16Le(std::string_view s) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t cp = b & (0x7F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    i += extra + 1;
    auto unit = [&out](uint16_t u) {
      out.push_back(u & 0xFF);
      out.push_back(u >> 8);
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(static_cast<uint16_t>(0xD800 + (cp >> 10)));
      unit(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      unit(static_cast<uint16_t>(cp));
    }
  }
  return out;
}

CompoundImage WriteCompoundFile(const Node& root, const CfbOptions& options) {
  assert(options.version == 3 || options.version == 4);
  CompoundImage img;
  const uint32_t ss = options.version == 4 ? 4096 : 512;
  img.sector_size = ss;

  std::vector<Flat> e(1);
  Flatten(root, "", e, 0);
  for (Flat& f : e) {
    if (f.type != 2) f.child = BuildTree(e, f.children, 0, static_cast<int>(f.children.size()) - 1);
  }

  // Mini stream: small streams back to back, each padded to 64 bytes.
  std::vector<uint8_t> mini;
  std::vector<uint32_t> minifat;
  for (Flat& f : e) {
    if (f.type != 2 || f.size == 0 || f.size >= kCutoff) continue;
    const uint32_t first = static_cast<uint32_t>(minifat.size());
    const uint32_t count = CeilDiv(f.size, 64);
    for (uint32_t i = 0; i < count; ++i) minifat.push_back(i + 1 < count ? first + i + 1 : kEndOfChain);
    f.start = first;
    mini.insert(mini.end(), f.data->begin(), f.data->end());
    mini.resize(static_cast<size_t>(first + count) * 64, 0);
  }

  const uint32_t dir_n = CeilDiv(e.size() * 128, ss);
  const uint32_t minifat_n = CeilDiv(minifat.size() * 4, ss);
  const uint32_t mini_n = CeilDiv(mini.size(), ss);
  uint32_t regular_n = 0;
  for (const Flat& f : e) {
    if (f.type == 2 && f.size >= kCutoff) regular_n += CeilDiv(f.size, ss);
  }
  const uint32_t data_n = dir_n + minifat_n + mini_n + regular_n;
  const uint32_t per_fat = ss / 4;
  uint32_t fat_n = 1, difat_n = 0;
  for (;;) {
    const uint32_t need = CeilDiv(data_n + fat_n + difat_n, per_fat) + options.extra_fat_sectors;
    const uint32_t need_difat = need > 109 ? CeilDiv(need - 109, per_fat - 1) : 0;
    if (need == fat_n && need_difat == difat_n) break;
    fat_n = std::max(need, fat_n);
    difat_n = std::max(need_difat, difat_n);
  }
  const uint32_t total = fat_n + difat_n + data_n;

  std::vector<uint32_t> fat(static_cast<size_t>(fat_n) * per_fat, kFreeSect);
  uint32_t next = 0;
  auto run = [&](uint32_t count, std::vector<uint32_t>* list, uint32_t mark) {
    const uint32_t first = next;
    for (uint32_t i = 0; i < count; ++i) {
      if (list) list->push_back(next);
      fat[next] = mark != 0 ? mark : (i + 1 < count ? next + 1 : kEndOfChain);
      ++next;
    }
    return count ? first : kEndOfChain;
  };
  run(fat_n, &img.fat_sectors, kFatSect);
  run(difat_n, &img.difat_sectors, kDifSect);
  const uint32_t dir_start = run(dir_n, &img.directory_sectors, 0);
  const uint32_t minifat_start = run(minifat_n, &img.minifat_sectors, 0);
  const uint32_t mini_start = run(mini_n, &img.mini_stream_sectors, 0);
  for (Flat& f : e) {
    if (f.type == 2 && f.size >= kCutoff) f.start = run(CeilDiv(f.size, ss), nullptr, 0);
  }
  assert(next == total);
  e[0].start = mini_start;
  e[0].size = mini.size();

  const uint32_t header_bytes = ss;  // version 4 pads the header to a whole sector
  img.bytes.assign(header_bytes + static_cast<size_t>(total) * ss, 0);
  std::vector<uint8_t>& b = img.bytes;
  const uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(b.data(), sig, 8);
  Put16(b, 0x18, 0x3E);
  Put16(b, 0x1A, static_cast<uint16_t>(options.version));
  Put16(b, 0x1C, 0xFFFE);
  Put16(b, 0x1E, options.version == 4 ? 12 : 9);
  Put16(b, 0x20, 6);
  Put32(b, 0x28, options.version == 4 ? dir_n : 0);
  Put32(b, 0x2C, fat_n);
  Put32(b, 0x30, dir_start);
  Put32(b, 0x38, kCutoff);
  Put32(b, 0x3C, minifat_start);
  Put32(b, 0x40, minifat_n);
  Put32(b, 0x44, difat_n ? img.difat_sectors.front() : kEndOfChain);
  Put32(b, 0x48, difat_n);
  for (uint32_t i = 0; i < 109; ++i) Put32(b, 0x4C + 4 * i, i < fat_n ? img.fat_sectors[i] : kFreeSect);
  // DIFAT sectors: the FAT sector numbers after the first 109, then the link.
  for (uint32_t d = 0; d < difat_n; ++d) {
    const uint64_t base = img.SectorOffset(img.difat_sectors[d]);
    for (uint32_t i = 0; i < per_fat - 1; ++i) {
      const uint32_t k = 109 + d * (per_fat - 1) + i;
      Put32(b, base + 4 * i, k < fat_n ? img.fat_sectors[k] : kFreeSect);
    }
    Put32(b, base + 4 * (per_fat - 1), d + 1 < difat_n ? img.difat_sectors[d + 1] : kEndOfChain);
  }
  for (uint32_t i = 0; i < fat.size(); ++i) {
    Put32(b, img.SectorOffset(img.fat_sectors[i / per_fat]) + 4 * (i % per_fat), fat[i]);
  }
  for (uint32_t i = 0; i < minifat_n * per_fat; ++i) {
    Put32(b, img.SectorOffset(img.minifat_sectors[i / per_fat]) + 4 * (i % per_fat),
          i < minifat.size() ? minifat[i] : kFreeSect);
  }
  for (size_t i = 0; i < mini.size(); ++i) b[img.SectorOffset(img.mini_stream_sectors[i / ss]) + i % ss] = mini[i];

  // Directory, with unused entries filling the last sector.
  const uint32_t per_dir = ss / 128;
  for (uint32_t id = 0; id < dir_n * per_dir; ++id) {
    const uint64_t off = img.SectorOffset(img.directory_sectors[id / per_dir]) + (id % per_dir) * 128;
    if (id >= e.size()) {
      Put32(b, off + 0x44, kNoStream);
      Put32(b, off + 0x48, kNoStream);
      Put32(b, off + 0x4C, kNoStream);
      continue;
    }
    const Flat& f = e[id];
    const size_t units = std::min<size_t>(f.name.size(), 31);
    for (size_t k = 0; k < units; ++k) Put16(b, off + 2 * k, f.name[k]);
    Put16(b, off + 0x40, static_cast<uint16_t>((units + 1) * 2));
    b[off + 0x42] = f.type;
    b[off + 0x43] = 1;  // black; readers ignore colours
    Put32(b, off + 0x44, f.left);
    Put32(b, off + 0x48, f.right);
    Put32(b, off + 0x4C, f.child);
    Put32(b, off + 0x74, f.start);
    Put64(b, off + 0x78, f.size);
    if (f.type == 2 && f.size >= kCutoff) {
      for (uint64_t i = 0, s = f.start; i < f.size; i += ss, ++s) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(ss, f.size - i));
        std::memcpy(b.data() + img.SectorOffset(static_cast<uint32_t>(s)), f.data->data() + i, n);
      }
    }
    img.entry_paths.push_back(f.path);
    img.entry_starts.push_back(f.start);
  }
  return img;
}

std::optional<uint32_t> CompoundImage::EntryId(std::string_view path) const {
  for (uint32_t i = 0; i < entry_paths.size(); ++i) {
    if (entry_paths[i] == path) return i;
  }
  return std::nullopt;
}

uint64_t CompoundImage::EntryOffset(uint32_t id) const {
  const uint32_t per = sector_size / 128;
  return SectorOffset(directory_sectors.at(id / per)) + (id % per) * 128;
}

uint64_t CompoundImage::FatEntryOffset(uint32_t sector) const {
  const uint32_t per = sector_size / 4;
  return SectorOffset(fat_sectors.at(sector / per)) + 4 * (sector % per);
}

uint64_t CompoundImage::MiniFatEntryOffset(uint32_t mini_sector) const {
  const uint32_t per = sector_size / 4;
  return SectorOffset(minifat_sectors.at(mini_sector / per)) + 4 * (mini_sector % per);
}

uint32_t CompoundImage::U32At(uint64_t offset) const {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | bytes.at(offset + i);
  return v;
}

void CompoundImage::SetU16(uint64_t offset, uint16_t value) {
  Put16(bytes, offset, value);
}
void CompoundImage::SetU32(uint64_t offset, uint32_t value) {
  Put32(bytes, offset, value);
}
void CompoundImage::SetU64(uint64_t offset, uint64_t value) {
  Put64(bytes, offset, value);
}

void CompoundImage::SetEntryLink(uint32_t id, Link link, uint32_t target) {
  const uint64_t field = link == Link::kLeft ? 0x44 : link == Link::kRight ? 0x48 : 0x4C;
  SetU32(EntryOffset(id) + field, target);
}

void CompoundImage::SetEntryType(uint32_t id, uint8_t type) {
  bytes.at(EntryOffset(id) + 0x42) = type;
}

}  // namespace msg_fixture
