// Writes .msg files from a description in code: properties of the message, its
// recipients and attachments (by value, by reference, embedded messages),
// laid out as Outlook lays them out in a compound file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/msg_fixture/cfb_writer.h"

namespace msg_fixture {

// Property types written.
inline constexpr uint16_t kPtLong = 0x0003;
inline constexpr uint16_t kPtBoolean = 0x000B;
inline constexpr uint16_t kPtObject = 0x000D;
inline constexpr uint16_t kPtString8 = 0x001E;
inline constexpr uint16_t kPtUnicode = 0x001F;
inline constexpr uint16_t kPtSysTime = 0x0040;
inline constexpr uint16_t kPtBinary = 0x0102;
inline constexpr uint16_t kPtMvUnicode = 0x101F;

class Properties {
 public:
  Properties& Long(uint16_t id, uint32_t value) { return Fixed(id, kPtLong, value); }
  Properties& Bool(uint16_t id, bool value) { return Fixed(id, kPtBoolean, value ? 1 : 0); }
  Properties& Time(uint16_t id, uint64_t filetime) { return Fixed(id, kPtSysTime, filetime); }
  // Any fixed-size value: the 8 bytes of the entry's value field.
  Properties& Fixed(uint16_t id, uint16_t type, uint64_t raw);
  // PT_UNICODE from UTF-8, stored without terminator as Outlook does.
  Properties& Unicode(uint16_t id, std::string_view utf8);
  // PT_STRING8: the bytes as given (already in the item's code page), plus a NUL.
  Properties& String8(uint16_t id, std::string_view bytes);
  Properties& Binary(uint16_t id, std::vector<uint8_t> bytes);
  // PT_MV_UNICODE: the length stream (4 bytes a value) and one stream a value.
  Properties& MultiUnicode(uint16_t id, const std::vector<std::string>& values);
  // A stream of exactly these bytes under `type`, for odd lengths and the like;
  // `listed` false leaves it out of the property stream.
  Properties& Raw(uint16_t id, uint16_t type, std::vector<uint8_t> bytes, bool listed = true);

  struct Value {
    uint32_t tag = 0;
    uint64_t fixed = 0;
    bool variable = false;
    bool listed = true;
    std::vector<uint8_t> bytes;
    std::vector<std::vector<uint8_t>> elements;  // multi-valued: the value streams
  };
  const std::vector<Value>& values() const { return values_; }

 private:
  std::vector<Value> values_;
};

struct FixtureMessage;

struct FixtureAttachment {
  Properties props;  // method, names, data ...
  // With an embedded message, the writer adds the __substg1.0_3701000D storage
  // and its PT_OBJECT entry; set PidTagAttachMethod (5) in props yourself.
  std::shared_ptr<FixtureMessage> embedded;
  // An OLE object (method 6): the streams of its __substg1.0_3701000D storage.
  std::vector<Node> object;
};

// A named property of the top-level map: entry k of named_properties is
// property id 0x8000 + k (set its value in props under that id).
struct NamedProperty {
  std::array<uint8_t, 16> guid;  // in the file's byte order
  std::string name;              // empty: named by the number lid
  uint32_t lid = 0;
};

struct FixtureMessage {
  Properties props;
  std::vector<NamedProperty> named_properties;  // top level only
  std::vector<Properties> recipients;
  std::vector<FixtureAttachment> attachments;
};

// The storage tree of a message: `top_level` adds the named-property storage
// and the 32-byte property header, otherwise the 24-byte header of an embedded
// message is used.
Node MessageTree(const FixtureMessage& message, bool top_level, const std::string& name = "Root Entry");

CompoundImage WriteMsg(const FixtureMessage& message, const CfbOptions& options = {});

// A one-off entry id naming (display name, address type, address); strings in
// UTF-16LE when `unicode`, else as the 8-bit bytes given.
std::vector<uint8_t> OneOffEntryId(std::string_view name,
                                   std::string_view type,
                                   std::string_view address,
                                   bool unicode = true);

// An Exchange address-book entry id naming the X.500 DN `dn`.
std::vector<uint8_t> ExchangeEntryId(std::string_view dn);

// Sender and sent-representing groups of an SMTP sender (names, address type,
// addresses, SMTP addresses, one-off entry ids), Unicode.
void SetSmtpSender(Properties& message, std::string_view name, std::string_view address);
// A recipient of `type` (1 To, 2 Cc, 3 Bcc) with an SMTP address, Unicode.
Properties SmtpRecipient(int32_t type, std::string_view name, std::string_view address);
// A by-value attachment with its names, MIME type and data; `content_id`
// non-empty marks it as an image shown inside the HTML body.
FixtureAttachment FileAttachment(std::string_view filename,
                                 std::string_view mime_type,
                                 std::vector<uint8_t> data,
                                 std::string_view content_id = {});

// An \1Ole10Native stream packaging `data` as the file `path` under `label`,
// followed by the UTF-16 copies of the temporary path, label and path when
// `wide_path` is not empty (then the path the UTF-16 copy names).
std::vector<uint8_t> PackageStream(std::string_view label, std::string_view path, std::string_view data,
                                   std::string_view wide_path = {});

// A PidTagRtfCompressed value holding `rtf` in the stored, uncompressed form ("MELA").
std::vector<uint8_t> StoredRtf(std::string_view rtf);

// FILETIME ticks of a UTC calendar time.
uint64_t FileTime(int year, int month, int day, int hour, int minute, int second);

// Calendar blobs ([MS-OXOCAL] 2.2.1.41, 2.2.1.44).

// Minutes from 1601-01-01 00:00 to a (local) time, as recurrence blobs count.
uint32_t Minutes1601(int year, int month, int day, int hour = 0, int minute = 0);

// A SYSTEMTIME transition: year 0 for "the week-th day_of_week of month".
struct FixtureTransition {
  uint16_t year = 0, month = 0, day_of_week = 0, week = 0, hour = 0, minute = 0;
};
struct FixtureZoneRule {
  uint16_t year = 1601;
  int32_t bias = 0, standard_bias = 0, daylight_bias = 0;  // UTC = local + bias
  FixtureTransition standard, daylight;
};
// A TimeZoneDefinition with the named key and the rules in order.
std::vector<uint8_t> TimeZoneDefinition(std::string_view key_name, const std::vector<FixtureZoneRule>& rules);

struct FixtureRecurrence {
  uint16_t frequency = 0x200B;  // 0x200A daily .. 0x200D yearly
  uint16_t pattern = 1;         // 0 day, 1 week, 2 month, 3 month-nth, 4 month-end
  uint32_t period = 1;
  std::vector<uint32_t> pattern_specific;  // day mask; day of month; day mask and n
  uint32_t end_type = 0x2023;              // 0x2021 date, 0x2022 count, 0x2023 never
  uint32_t occurrence_count = 10;
  uint32_t first_day_of_week = 1;
  std::vector<uint32_t> deleted, modified;  // Minutes1601 of local midnights
  uint32_t start_date = 0, end_date = 0x5AE980DF;
  uint32_t start_offset = 0, end_offset = 0;  // minutes after midnight
  struct Exception {
    uint32_t start, end, original;  // Minutes1601
    std::string subject, location;  // ASCII; empty: not changed
  };
  std::vector<Exception> exceptions;
};
// An AppointmentRecurrencePattern (writer version 0x3009, with the Unicode
// extended exceptions).
std::vector<uint8_t> RecurrenceBlob(const FixtureRecurrence& r);

}  // namespace msg_fixture
