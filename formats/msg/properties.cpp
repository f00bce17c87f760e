#include "formats/msg/properties.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/common/limits.h"

namespace formats::msg {

namespace {

constexpr size_t kEntrySize = 16;
constexpr const char* kPropertyStreamName = "__properties_version1.0";

// The provider UID that marks a one-off entry id ([MS-OXCDATA] 2.2.5.1).
constexpr std::array<uint8_t, 16> kOneOffProviderUid = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                        0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

// The provider UID of Exchange address-book entry ids ([MS-OXCDATA] 2.2.5.2).
constexpr std::array<uint8_t, 16> kExchangeProviderUid = {0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A,
                                                          0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82};

std::string_view AsChars(Bytes bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

std::string SubstgName(uint16_t id, uint16_t type) {
  char name[32];
  std::snprintf(name, sizeof name, "__substg1.0_%04X%04X", id, type);
  return name;
}

std::string DecodeUnicodeString(Bytes bytes) {
  // Writers store the text with or without its terminator, and some leave
  // garbage after it: the first NUL ends the string.
  size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) {
      units = i;
      break;
    }
  }
  return Utf16LeToUtf8(bytes.first(units * 2));
}

std::string DecodeString8(Bytes bytes, std::span<const uint32_t> codepages) {
  std::string_view text = AsChars(bytes);
  if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  uint32_t first = 0;
  for (uint32_t cp : codepages) {
    if (cp == 0 || cp == 1200 || cp == 1201) continue;  // UTF-16 cannot describe 8-bit bytes
    if (first == 0) first = cp;
    if (std::optional<std::string> decoded = CodepageToUtf8(text, cp)) return *decoded;
  }
  if (IsValidUtf8(text)) return std::string(text);
  // US-ASCII as the item's code page only says the writer saw no 8-bit text;
  // the bytes that are there are most likely Windows Latin.
  if (first == 0 || first == 20127) first = 1252;
  return DecodeLenient(text, first);
}

std::optional<OneOffEntryId> ParseOneOffEntryId(Bytes bytes, uint32_t codepage) {
  ByteReader r(bytes);
  std::optional<uint32_t> flags = r.ReadU32Le();
  std::optional<Bytes> uid = r.ReadBytes(16);
  if (!flags || !uid || !std::equal(uid->begin(), uid->end(), kOneOffProviderUid.begin())) return std::nullopt;
  std::optional<uint16_t> version = r.ReadU16Le();
  std::optional<uint16_t> format = r.ReadU16Le();
  if (!version || !format) return std::nullopt;
  const bool unicode = (*format & 0x8000) != 0;
  Bytes rest = bytes.subspan(r.offset());
  size_t pos = 0;
  // Each string runs to its NUL (one byte, or one aligned code unit), which must
  // be inside the blob.
  auto next = [&]() -> std::optional<std::string> {
    if (unicode) {
      for (size_t i = pos; i + 1 < rest.size(); i += 2) {
        if (rest[i] == 0 && rest[i + 1] == 0) {
          std::string s = Utf16LeToUtf8(rest.subspan(pos, i - pos));
          pos = i + 2;
          return s;
        }
      }
      return std::nullopt;
    }
    for (size_t i = pos; i < rest.size(); ++i) {
      if (rest[i] == 0) {
        const uint32_t cps[] = {codepage};
        std::string s = DecodeString8(rest.subspan(pos, i - pos), cps);
        pos = i + 1;
        return s;
      }
    }
    return std::nullopt;
  };
  OneOffEntryId id;
  std::optional<std::string> name = next();
  std::optional<std::string> type = name ? next() : std::nullopt;
  std::optional<std::string> address = type ? next() : std::nullopt;
  if (!address) return std::nullopt;
  id.display_name = std::move(*name);
  id.address_type = std::move(*type);
  id.address = std::move(*address);
  return id;
}

std::optional<std::string> ParseExchangeEntryId(Bytes bytes) {
  ByteReader r(bytes);
  std::optional<uint32_t> flags = r.ReadU32Le();
  std::optional<Bytes> uid = r.ReadBytes(16);
  std::optional<uint32_t> version = r.ReadU32Le();
  std::optional<uint32_t> type = r.ReadU32Le();
  if (!flags || !uid || !version || !type || !std::equal(uid->begin(), uid->end(), kExchangeProviderUid.begin())) {
    return std::nullopt;
  }
  // The DN runs to its NUL, which must be inside the blob; a DN is ASCII.
  const std::string_view rest = AsChars(bytes.subspan(r.offset()));
  const size_t nul = rest.find('\0');
  if (nul == std::string_view::npos || nul == 0) return std::nullopt;
  const std::string_view dn = rest.substr(0, nul);
  if (!std::all_of(dn.begin(), dn.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return std::nullopt;
  return std::string(dn);
}

std::optional<std::vector<Bytes>> ParseFlatEntryList(Bytes bytes) {
  ByteReader r(bytes);
  std::optional<uint32_t> count = r.ReadU32Le();
  std::optional<uint32_t> size = r.ReadU32Le();
  if (!count || !size || *size > r.remaining()) return std::nullopt;
  ByteReader entries(bytes.subspan(r.offset(), *size));
  std::vector<Bytes> out;
  for (uint32_t i = 0; i < *count; ++i) {
    std::optional<uint32_t> length = entries.ReadU32Le();
    std::optional<Bytes> id = length ? entries.ReadBytes(*length) : std::nullopt;
    if (!id) return std::nullopt;
    out.push_back(*id);
    // The last entry may stop short of its padding.
    if (!entries.Skip(std::min<size_t>((4 - *length % 4) % 4, entries.remaining()))) return std::nullopt;
  }
  return out;
}

namespace {

Result<std::vector<uint8_t>> ReadNamedStream(const cfb::CompoundFile& file, cfb::EntryId storage, const char* name) {
  std::optional<cfb::EntryId> e = file.FindChild(storage, name);
  if (!e || !file.entry(*e).is_stream()) return std::vector<uint8_t>();
  return file.ReadStream(*e, limits::kMaxPropertyStreamBytes);
}

}  // namespace

Result<NamedProperties> NamedProperties::Read(const cfb::CompoundFile& file) {
  NamedProperties map;
  std::optional<cfb::EntryId> storage = file.FindChild(cfb::kRootEntry, "__nameid_version1.0");
  if (!storage || !file.entry(*storage).is_storage()) return map;
  Result<std::vector<uint8_t>> guids = ReadNamedStream(file, *storage, "__substg1.0_00020102");
  if (!guids) return std::move(guids).error();
  Result<std::vector<uint8_t>> entries = ReadNamedStream(file, *storage, "__substg1.0_00030102");
  if (!entries) return std::move(entries).error();
  Result<std::vector<uint8_t>> strings = ReadNamedStream(file, *storage, "__substg1.0_00040102");
  if (!strings) return std::move(strings).error();

  // A bad entry (GUID index or string offset out of range) is skipped.
  for (size_t off = 0; off + 8 <= entries->size(); off += 8) {
    const uint32_t name_or_offset = LoadU32Le(entries->data() + off);
    const uint32_t info = LoadU32Le(entries->data() + off + 4);
    const uint32_t guid_index = (info >> 1) & 0x7FFF;
    const uint32_t property_index = info >> 16;
    if (property_index > 0x7FFE) continue;
    Guid guid{};
    if (guid_index == 1 || guid_index == 2) {
      // PS_MAPI {00020328-...} and PS_PUBLIC_STRINGS {00020329-...}.
      guid = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
      if (guid_index == 2) guid[0] = 0x29;
    } else if (guid_index >= 3) {
      std::optional<Bytes> g = Slice(*guids, (guid_index - 3) * 16ull, 16);
      if (!g) continue;
      std::copy(g->begin(), g->end(), guid.begin());
    } else {
      continue;
    }
    if ((info & 1) == 0) {
      map.entries_.push_back({guid, {}, static_cast<uint16_t>(0x8000 + property_index), name_or_offset, true});
      continue;
    }
    std::optional<Bytes> length = Slice(*strings, name_or_offset, 4);
    if (!length) continue;
    std::optional<Bytes> name = Slice(*strings, name_or_offset + 4ull, LoadU32Le(length->data()));
    if (!name) continue;
    map.entries_.push_back(
        {guid, AsciiLower(DecodeUnicodeString(*name)), static_cast<uint16_t>(0x8000 + property_index)});
  }
  return map;
}

std::optional<uint16_t> NamedProperties::Find(const Guid& guid, std::string_view name) const {
  const std::string key = AsciiLower(name);
  for (const Entry& e : entries_) {
    if (!e.numeric && e.guid == guid && e.name == key) return e.id;
  }
  return std::nullopt;
}

std::optional<uint16_t> NamedProperties::FindNumbered(const Guid& guid, uint32_t lid) const {
  for (const Entry& e : entries_) {
    if (e.numeric && e.guid == guid && e.lid == lid) return e.id;
  }
  return std::nullopt;
}

Result<PropertyBag> PropertyBag::Read(const cfb::CompoundFile& file, cfb::EntryId storage, size_t header_size) {
  PropertyBag bag;
  bag.file_ = &file;
  bag.storage_ = storage;
  std::optional<cfb::EntryId> stream = file.FindChild(storage, kPropertyStreamName);
  if (!stream || !file.entry(*stream).is_stream()) {
    // Tolerated: the object then has no fixed-size values; its streams still count.
    bag.warnings_.push_back("no property stream in \"" + file.entry(storage).name + "\"");
    return bag;
  }
  Result<std::vector<uint8_t>> data = file.ReadStream(*stream, limits::kMaxPropertyStreamBytes);
  if (!data) return std::move(data).error();
  if (data->size() < header_size) {
    bag.warnings_.push_back("property stream of \"" + file.entry(storage).name + "\" is shorter than its header");
    return bag;
  }
  if (header_size >= kEmbeddedHeaderSize) {
    bag.recipient_count_ = LoadU32Le(data->data() + 16);
    bag.attachment_count_ = LoadU32Le(data->data() + 20);
  }
  const size_t body = data->size() - header_size;
  if (body % kEntrySize != 0) {
    // A trailing partial entry is ignored.
    bag.warnings_.push_back("property stream of \"" + file.entry(storage).name + "\" ends in a partial entry");
  }
  for (size_t off = header_size; off + kEntrySize <= data->size(); off += kEntrySize) {
    const uint8_t* e = data->data() + off;
    bag.fixed_.emplace(LoadU32Le(e), LoadU64Le(e + 8));  // the first of duplicate tags wins
  }
  return bag;
}

std::optional<uint32_t> PropertyBag::GetLong(uint16_t id) const {
  auto it = fixed_.find((static_cast<uint32_t>(id) << 16) | kPtLong);
  if (it == fixed_.end()) return std::nullopt;
  return static_cast<uint32_t>(it->second);
}

std::optional<bool> PropertyBag::GetBool(uint16_t id) const {
  auto it = fixed_.find((static_cast<uint32_t>(id) << 16) | kPtBoolean);
  if (it == fixed_.end()) return std::nullopt;
  // Only the low 16 bits carry the value; writers leave the rest of the slot dirty.
  return (it->second & 0xFFFF) != 0;
}

std::optional<uint64_t> PropertyBag::GetTime(uint16_t id) const {
  auto it = fixed_.find((static_cast<uint32_t>(id) << 16) | kPtSysTime);
  if (it == fixed_.end() || it->second == 0) return std::nullopt;
  return it->second;
}

std::optional<cfb::EntryId> PropertyBag::FindStream(uint16_t id, uint16_t type) const {
  std::optional<cfb::EntryId> e = file_->FindChild(storage_, SubstgName(id, type));
  if (!e || !file_->entry(*e).is_stream()) return std::nullopt;
  return e;
}

std::optional<cfb::EntryId> PropertyBag::FindStorage(uint16_t id, uint16_t type) const {
  std::optional<cfb::EntryId> e = file_->FindChild(storage_, SubstgName(id, type));
  if (!e || !file_->entry(*e).is_storage()) return std::nullopt;
  return e;
}

Result<std::optional<std::string>> PropertyBag::GetString(uint16_t id, std::span<const uint32_t> codepages) const {
  // The Unicode form always wins: it needs no guess about the code page.
  if (std::optional<cfb::EntryId> e = FindStream(id, kPtUnicode)) {
    Result<std::vector<uint8_t>> data = file_->ReadStream(*e, limits::kMaxStringPropertyBytes);
    if (!data) return std::move(data).error();
    return std::optional<std::string>(DecodeUnicodeString(*data));
  }
  if (std::optional<cfb::EntryId> e = FindStream(id, kPtString8)) {
    Result<std::vector<uint8_t>> data = file_->ReadStream(*e, limits::kMaxStringPropertyBytes);
    if (!data) return std::move(data).error();
    return std::optional<std::string>(DecodeString8(*data, codepages));
  }
  return std::optional<std::string>();
}

Result<std::vector<std::string>> PropertyBag::GetStrings(uint16_t id, std::span<const uint32_t> codepages) const {
  std::vector<std::string> values;
  uint16_t type = kPtMvUnicode;
  std::optional<cfb::EntryId> lengths = FindStream(id, type);
  if (!lengths) lengths = FindStream(id, type = kPtMvString8);
  if (!lengths) return values;
  // Only the number of entries is used: each value's own stream says how long it is.
  const uint64_t count = file_->entry(*lengths).size / 4;
  if (count > limits::kMaxMultiValues) {
    return MakeError(ErrorCode::kLimitExceeded, 0,
                     "more than " + std::to_string(limits::kMaxMultiValues) + " values in " + SubstgName(id, type));
  }
  for (uint64_t i = 0; i < count; ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%08X", static_cast<unsigned>(i));
    std::optional<cfb::EntryId> e = file_->FindChild(storage_, SubstgName(id, type) + suffix);
    if (!e || !file_->entry(*e).is_stream()) continue;
    Result<std::vector<uint8_t>> data = file_->ReadStream(*e, limits::kMaxStringPropertyBytes);
    if (!data) return std::move(data).error();
    values.push_back(type == kPtMvUnicode ? DecodeUnicodeString(*data) : DecodeString8(*data, codepages));
  }
  return values;
}

Result<std::optional<std::vector<uint8_t>>> PropertyBag::GetBinary(uint16_t id, uint64_t max_bytes) const {
  std::optional<cfb::EntryId> e = FindStream(id, kPtBinary);
  if (!e) return std::optional<std::vector<uint8_t>>();
  Result<std::vector<uint8_t>> data = file_->ReadStream(*e, max_bytes);
  if (!data) return std::move(data).error();
  return std::optional<std::vector<uint8_t>>(std::move(*data));
}

}  // namespace formats::msg
