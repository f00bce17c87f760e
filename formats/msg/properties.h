// Property access for one object of a .msg file (the message, a recipient, an
// attachment or an embedded message): the fixed-size values of its
// __properties_version1.0 stream and the __substg1.0_IIIITTTT streams beside it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/cfb/compound_file.h"
#include "formats/common/result.h"

namespace formats::msg {

// Property types ([MS-OXCDATA] 2.11.1) that the reader uses.
inline constexpr uint16_t kPtLong = 0x0003;
inline constexpr uint16_t kPtError = 0x000A;
inline constexpr uint16_t kPtBoolean = 0x000B;
inline constexpr uint16_t kPtObject = 0x000D;
inline constexpr uint16_t kPtI8 = 0x0014;
inline constexpr uint16_t kPtString8 = 0x001E;
inline constexpr uint16_t kPtUnicode = 0x001F;
inline constexpr uint16_t kPtSysTime = 0x0040;
inline constexpr uint16_t kPtBinary = 0x0102;
inline constexpr uint16_t kPtMvString8 = 0x101E;
inline constexpr uint16_t kPtMvUnicode = 0x101F;

// Size of the property stream header by the kind of object holding it.
inline constexpr size_t kTopLevelHeaderSize = 32;
inline constexpr size_t kEmbeddedHeaderSize = 24;
inline constexpr size_t kChildHeaderSize = 8;  // recipients and attachments

// "__substg1.0_IIIITTTT" for a property id and type.
std::string SubstgName(uint16_t id, uint16_t type);

// Cuts UTF-16LE text at its first NUL code unit (an odd last byte is dropped)
// and converts it to UTF-8.
std::string DecodeUnicodeString(Bytes bytes);

// Decodes 8-bit text: cut at the first NUL, then the first code page of
// `codepages` that decodes it without error wins; failing all, valid UTF-8 is
// kept as it is, and anything else is decoded leniently with the first code page.
std::string DecodeString8(Bytes bytes, std::span<const uint32_t> codepages);

// What a one-off entry id ([MS-OXCDATA] 2.2.5.1) names.
struct OneOffEntryId {
  std::string display_name;
  std::string address_type;
  std::string address;
};
// nullopt when `bytes` is not a well-formed one-off entry id; 8-bit strings in it
// are decoded with `codepage`.
std::optional<OneOffEntryId> ParseOneOffEntryId(Bytes bytes, uint32_t codepage);

// The X.500 DN that an Exchange address-book entry id ([MS-OXCDATA] 2.2.5.2)
// names; nullopt for any other entry id, or one whose DN is not printable ASCII
// ended by a NUL inside the blob.
std::optional<std::string> ParseExchangeEntryId(Bytes bytes);

// The entry ids of a FlatEntryList ([MS-OXCDATA] 2.3.3: count, size, then each
// entry's size, its bytes and padding to 4 bytes), as views into `bytes`;
// nullopt when the list does not fit its own sizes.
std::optional<std::vector<Bytes>> ParseFlatEntryList(Bytes bytes);

// The named-property map of a file (root storage __nameid_version1.0): which
// property id (0x8000 and up) stands for a (property set, name) pair. Embedded
// messages use the map of the root.
class NamedProperties {
 public:
  using Guid = std::array<uint8_t, 16>;  // in the file's byte order
  // PS_INTERNET_HEADERS {00020386-0000-0000-C000-000000000046}.
  static constexpr Guid kInternetHeaders = {0x86, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  // PS_PUBLIC_STRINGS {00020329-0000-0000-C000-000000000046}.
  static constexpr Guid kPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  // PSETID_Appointment {00062002-0000-0000-C000-000000000046}.
  static constexpr Guid kAppointment = {0x02, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  // PSETID_Meeting {6ED8DA90-450B-101B-98DA-00AA003F1305}.
  static constexpr Guid kMeeting = {0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10,
                                    0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05};
  // PSETID_Common {00062008-0000-0000-C000-000000000046}.
  static constexpr Guid kCommon = {0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

  // Reads the map; a missing or damaged map is empty (named properties are
  // content, not structure), but a broken stream chain is an error.
  static Result<NamedProperties> Read(const cfb::CompoundFile& file);

  // The property id of the string-named property `name` (compared without
  // regard to ASCII case) in the set `guid`.
  std::optional<uint16_t> Find(const Guid& guid, std::string_view name) const;
  // The property id of the numerically named property `lid` in the set `guid`.
  std::optional<uint16_t> FindNumbered(const Guid& guid, uint32_t lid) const;

 private:
  struct Entry {
    Guid guid;
    std::string name;  // lower-cased ASCII, UTF-8; empty for a numeric name
    uint16_t id;
    uint32_t lid = 0;  // the numeric name
    bool numeric = false;
  };
  std::vector<Entry> entries_;
};

class PropertyBag {
 public:
  // Reads the property stream of `storage` (absent: no fixed-size values).
  // Errors: a broken stream chain, kLimitExceeded for a property stream larger
  // than any object could need.
  static Result<PropertyBag> Read(const cfb::CompoundFile& file, cfb::EntryId storage, size_t header_size);

  cfb::EntryId storage() const { return storage_; }
  const cfb::CompoundFile& file() const { return *file_; }

  // Fixed-size values; absent when not stored (a PT_ERROR entry counts as absent).
  std::optional<uint32_t> GetLong(uint16_t id) const;
  std::optional<bool> GetBool(uint16_t id) const;
  std::optional<uint64_t> GetTime(uint16_t id) const;  // FILETIME ticks; zero is absent

  // A string property: the PT_UNICODE stream when present, else the PT_STRING8
  // stream decoded with `codepages` (see DecodeString8). Errors: a broken stream,
  // kLimitExceeded beyond limits::kMaxStringPropertyBytes.
  Result<std::optional<std::string>> GetString(uint16_t id, std::span<const uint32_t> codepages) const;
  // A multi-valued string property (PT_MV_UNICODE, else PT_MV_STRING8): one
  // value stream "<name>-0000000N" for each 4-byte entry of the length stream,
  // in order; a value whose stream is missing is skipped. Empty when absent.
  // Errors as GetString, and kLimitExceeded beyond limits::kMaxMultiValues values.
  Result<std::vector<std::string>> GetStrings(uint16_t id, std::span<const uint32_t> codepages) const;
  // A PT_BINARY property in memory. Errors as GetString, with `max_bytes`.
  Result<std::optional<std::vector<uint8_t>>> GetBinary(uint16_t id, uint64_t max_bytes) const;

  // The stream or storage holding a variable-size property of `type`.
  std::optional<cfb::EntryId> FindStream(uint16_t id, uint16_t type) const;
  std::optional<cfb::EntryId> FindStorage(uint16_t id, uint16_t type) const;

  // Header counts of a message's property stream (hints only; 0 elsewhere).
  uint32_t recipient_count() const { return recipient_count_; }
  uint32_t attachment_count() const { return attachment_count_; }

  // Oddities tolerated while reading, one line each.
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  const cfb::CompoundFile* file_ = nullptr;
  cfb::EntryId storage_ = 0;
  std::map<uint32_t, uint64_t> fixed_;  // tag -> the 8 value bytes, little-endian
  uint32_t recipient_count_ = 0;
  uint32_t attachment_count_ = 0;
  std::vector<std::string> warnings_;
};

}  // namespace formats::msg
