#include "formats/msg/recurrence.h"

#include "formats/common/civil_time.h"
#include "formats/common/limits.h"
#include "formats/msg/properties.h"

namespace formats::msg {

namespace {

constexpr uint16_t kReaderVersion = 0x3004;
constexpr uint32_t kReaderVersion2 = 0x3006;
constexpr uint32_t kWriterVersionWithHighlight = 0x3009;

constexpr uint16_t kOverrideSubject = 0x0001;
constexpr uint16_t kOverrideLocation = 0x0010;
// The other overrides that carry a 4-byte value, in the order they are stored:
// meeting type, reminder delta, reminder set, busy status, attachment, subtype, color.
constexpr uint16_t kOverrideMeetingType = 0x0002, kOverrideReminderDelta = 0x0004, kOverrideReminder = 0x0008;
constexpr uint16_t kOverrideBusyStatus = 0x0020, kOverrideAttachment = 0x0040, kOverrideSubtype = 0x0080;
constexpr uint16_t kOverrideColor = 0x0100;

// A longest meeting: about ten years.
constexpr uint32_t kMaxDurationMinutes = 1440u * 3660u;

ParseError Truncated(const ByteReader& r) {
  return MakeError(ErrorCode::kTruncated, r.offset(), "recurrence pattern ends early");
}
ParseError Bad(const ByteReader& r, const std::string& what) {
  return MakeError(ErrorCode::kBadProperty, r.offset(), "recurrence pattern: " + what);
}

int64_t LocalSeconds(uint32_t minutes_since_1601) {
  return static_cast<int64_t>(minutes_since_1601) * 60 - kSeconds1601To1970;
}

Result<std::vector<int64_t>> ReadDates(ByteReader& r) {
  std::optional<uint32_t> count = r.ReadU32Le();
  if (!count) return Truncated(r);
  if (*count > limits::kMaxRecurrenceExceptions) {
    return MakeError(ErrorCode::kLimitExceeded, r.offset(),
                     "recurrence pattern with more than " + std::to_string(limits::kMaxRecurrenceExceptions) +
                         " changed occurrences");
  }
  if (*count > r.remaining() / 4) return Truncated(r);
  std::vector<int64_t> dates;
  dates.reserve(*count);
  for (uint32_t i = 0; i < *count; ++i) dates.push_back(LocalSeconds(*r.ReadU32Le()));
  return dates;
}

// A counted 8-bit string: a length that counts a terminator no one stores, the
// real length, the bytes.
std::optional<std::string> ReadString8(ByteReader& r, std::span<const uint32_t> codepages) {
  if (!r.Skip(2)) return std::nullopt;
  std::optional<uint16_t> length = r.ReadU16Le();
  if (!length) return std::nullopt;
  std::optional<Bytes> bytes = r.ReadBytes(*length);
  if (!bytes) return std::nullopt;
  return DecodeString8(*bytes, codepages);
}

std::optional<std::string> ReadWideString(ByteReader& r) {
  std::optional<uint16_t> chars = r.ReadU16Le();
  if (!chars) return std::nullopt;
  std::optional<Bytes> bytes = r.ReadBytes(*chars * size_t{2});
  if (!bytes) return std::nullopt;
  return DecodeUnicodeString(*bytes);
}

bool SkipBlock(ByteReader& r) {
  std::optional<uint32_t> size = r.ReadU32Le();
  return size && r.Skip(*size);
}

// The ExtendedException entries: the Unicode subjects and locations. They
// repeat what the 8-bit fields said, so entries that do not parse leave the
// 8-bit texts in place rather than failing the pattern.
void ReadExtendedExceptions(ByteReader& r, uint32_t writer_version2, const std::vector<uint16_t>& flags,
                            std::vector<RecurrenceException>& exceptions) {
  std::vector<RecurrenceException> wide = exceptions;
  for (size_t i = 0; i < exceptions.size(); ++i) {
    if (writer_version2 >= kWriterVersionWithHighlight && !SkipBlock(r)) return;
    if (!SkipBlock(r)) return;
    if ((flags[i] & (kOverrideSubject | kOverrideLocation)) == 0) continue;
    if (!r.Skip(12)) return;  // the three times again
    if (flags[i] & kOverrideSubject) {
      std::optional<std::string> s = ReadWideString(r);
      if (!s) return;
      wide[i].subject = std::move(*s);
    }
    if (flags[i] & kOverrideLocation) {
      std::optional<std::string> s = ReadWideString(r);
      if (!s) return;
      wide[i].location = std::move(*s);
    }
    if (!SkipBlock(r)) return;
  }
  exceptions = std::move(wide);
}

Status CheckPattern(const ByteReader& r, const Recurrence& p) {
  using F = Recurrence::Frequency;
  using P = Recurrence::Pattern;
  const bool monthly_kind = p.pattern == P::kMonth || p.pattern == P::kMonthNth || p.pattern == P::kMonthEnd;
  const bool fits = (p.frequency == F::kDaily && (p.pattern == P::kDay || p.pattern == P::kWeek)) ||
                    (p.frequency == F::kWeekly && p.pattern == P::kWeek) ||
                    ((p.frequency == F::kMonthly || p.frequency == F::kYearly) && monthly_kind);
  if (!fits) return Bad(r, "pattern type does not fit the frequency");
  if (p.period == 0) return Bad(r, "period 0");
  if (p.pattern == P::kDay && (p.period % 1440 != 0 || p.period > 1440u * 999)) return Bad(r, "daily period");
  if (p.pattern != P::kDay && p.period > 99 * 12) return Bad(r, "period out of range");
  if (p.frequency == F::kYearly && p.period % 12 != 0) return Bad(r, "yearly period not in whole years");
  if ((p.pattern == P::kWeek || p.pattern == P::kMonthNth) && (p.day_mask == 0 || p.day_mask > 0x7F)) {
    return Bad(r, "day mask");
  }
  if ((p.pattern == P::kMonth || p.pattern == P::kMonthEnd) && (p.day_of_month < 1 || p.day_of_month > 31)) {
    return Bad(r, "day of month");
  }
  if (p.pattern == P::kMonthNth && (p.nth < 1 || p.nth > 5)) return Bad(r, "week of month");
  if (p.first_day_of_week > 6) return Bad(r, "first day of week");
  if (p.end == Recurrence::End::kCount && p.occurrence_count == 0) return Bad(r, "no occurrences");
  if (p.end != Recurrence::End::kNever && p.end_date < p.start_date) return Bad(r, "ends before it starts");
  return {};
}

}  // namespace

Result<Recurrence> ParseRecurrence(Bytes blob, std::span<const uint32_t> codepages) {
  ByteReader r(blob);
  Recurrence p;
  // ReaderVersion, WriterVersion, RecurFrequency, PatternType, CalendarType.
  std::optional<uint16_t> reader_version = r.ReadU16Le();
  std::optional<uint16_t> frequency = r.Skip(2) ? r.ReadU16Le() : std::nullopt;
  std::optional<uint16_t> pattern = r.ReadU16Le(), calendar = r.ReadU16Le();
  // FirstDateTime, Period, SlidingFlag.
  std::optional<uint32_t> period = r.Skip(4) ? r.ReadU32Le() : std::nullopt;
  if (!calendar || !period || !r.Skip(4)) return Truncated(r);
  if (*reader_version != kReaderVersion) return Bad(r, "reader version");
  if (*frequency < 0x200A || *frequency > 0x200D) return Bad(r, "frequency");
  p.frequency = static_cast<Recurrence::Frequency>(*frequency - 0x200A);
  if (*pattern >= 0x000A && *pattern <= 0x000C) {
    return MakeError(ErrorCode::kUnsupported, r.offset(), "recurrence pattern in the Hijri calendar");
  }
  if (*pattern > 4) return Bad(r, "pattern type");
  // Gregorian calendars only: default, localized, US English, and the three
  // Gregorian transliterations (Middle East French, Arabic, English).
  if (*calendar != 0 && *calendar != 1 && *calendar != 2 && (*calendar < 9 || *calendar > 12)) {
    return MakeError(ErrorCode::kUnsupported, r.offset(), "recurrence pattern in calendar " + std::to_string(*calendar));
  }
  p.pattern = static_cast<Recurrence::Pattern>(*pattern);
  p.period = *period;

  std::optional<uint32_t> a, b;
  switch (p.pattern) {
    case Recurrence::Pattern::kDay:
      break;
    case Recurrence::Pattern::kWeek:
      if (!(a = r.ReadU32Le())) return Truncated(r);
      p.day_mask = *a;
      break;
    case Recurrence::Pattern::kMonth:
    case Recurrence::Pattern::kMonthEnd:
      if (!(a = r.ReadU32Le())) return Truncated(r);
      p.day_of_month = *a;
      break;
    case Recurrence::Pattern::kMonthNth:
      if (!(a = r.ReadU32Le()) || !(b = r.ReadU32Le())) return Truncated(r);
      p.day_mask = *a;
      p.nth = *b;
      break;
  }
  std::optional<uint32_t> end_type = r.ReadU32Le(), count = r.ReadU32Le(), first_dow = r.ReadU32Le();
  if (!first_dow) return Truncated(r);
  switch (*end_type) {
    case 0x2021: p.end = Recurrence::End::kDate; break;
    case 0x2022: p.end = Recurrence::End::kCount; break;
    case 0x2023:
    case 0xFFFFFFFF: p.end = Recurrence::End::kNever; break;
    default: return Bad(r, "end type");
  }
  p.occurrence_count = *count;
  p.first_day_of_week = *first_dow;

  Result<std::vector<int64_t>> deleted = ReadDates(r);
  if (!deleted) return std::move(deleted).error();
  p.deleted_dates = std::move(*deleted);
  Result<std::vector<int64_t>> modified = ReadDates(r);
  if (!modified) return std::move(modified).error();
  p.modified_dates = std::move(*modified);
  std::optional<uint32_t> start_date = r.ReadU32Le(), end_date = r.ReadU32Le();
  if (!end_date) return Truncated(r);
  p.start_date = LocalSeconds(*start_date);
  p.end_date = LocalSeconds(*end_date);
  if (Status s = CheckPattern(r, p); !s) return std::move(s).error();

  std::optional<uint32_t> reader_version2 = r.ReadU32Le(), writer_version2 = r.ReadU32Le();
  std::optional<uint32_t> start_offset = r.ReadU32Le(), end_offset = r.ReadU32Le();
  std::optional<uint16_t> exception_count = r.ReadU16Le();
  if (!exception_count) return Truncated(r);
  if (*reader_version2 != kReaderVersion2) return Bad(r, "appointment reader version");
  if (*start_offset >= 1440 || *end_offset < *start_offset || *end_offset - *start_offset > kMaxDurationMinutes) {
    return Bad(r, "time of day");
  }
  p.start_minutes = static_cast<int32_t>(*start_offset);
  p.end_minutes = static_cast<int32_t>(*end_offset);
  if (*exception_count != p.modified_dates.size()) return Bad(r, "changed occurrences do not match their dates");

  std::vector<uint16_t> flags;
  for (uint16_t i = 0; i < *exception_count; ++i) {
    std::optional<uint32_t> start = r.ReadU32Le(), end = r.ReadU32Le(), original = r.ReadU32Le();
    std::optional<uint16_t> override_flags = r.ReadU16Le();
    if (!override_flags) return Truncated(r);
    if (*end < *start || *end - *start > kMaxDurationMinutes) return Bad(r, "changed occurrence ends before it starts");
    RecurrenceException e;
    e.start = LocalSeconds(*start);
    e.end = LocalSeconds(*end);
    e.original_start = LocalSeconds(*original);
    const uint16_t f = *override_flags;
    if (f & kOverrideSubject) {
      if (!(e.subject = ReadString8(r, codepages))) return Truncated(r);
    }
    for (uint16_t bit : {kOverrideMeetingType, kOverrideReminderDelta, kOverrideReminder}) {
      if ((f & bit) && !r.Skip(4)) return Truncated(r);
    }
    if (f & kOverrideLocation) {
      if (!(e.location = ReadString8(r, codepages))) return Truncated(r);
    }
    for (uint16_t bit : {kOverrideBusyStatus, kOverrideAttachment, kOverrideSubtype, kOverrideColor}) {
      if ((f & bit) && !r.Skip(4)) return Truncated(r);
    }
    flags.push_back(f);
    p.exceptions.push_back(std::move(e));
  }
  if (!SkipBlock(r)) return Truncated(r);
  ReadExtendedExceptions(r, *writer_version2, flags, p.exceptions);
  return p;
}

}  // namespace formats::msg
