#include "formats/msg/timezone.h"

#include <algorithm>

#include "formats/common/civil_time.h"
#include "formats/common/limits.h"
#include "formats/msg/properties.h"

namespace formats::msg {

namespace {

// A bias beyond a day is no offset any clock keeps.
constexpr int32_t kMaxBiasMinutes = 24 * 60;

ParseError Bad(const ByteReader& r, std::string what) {
  return MakeError(ErrorCode::kBadProperty, r.offset(), "time-zone definition: " + what);
}

std::optional<TransitionDate> ReadSystemTime(ByteReader& r) {
  std::optional<Bytes> b = r.ReadBytes(16);
  if (!b) return std::nullopt;
  const uint8_t* p = b->data();
  return TransitionDate{LoadU16Le(p), LoadU16Le(p + 2), LoadU16Le(p + 4), LoadU16Le(p + 6),
                        LoadU16Le(p + 8), LoadU16Le(p + 10), LoadU16Le(p + 12)};
}

bool ValidDate(const TransitionDate& d) {
  if (d.month == 0) return true;  // no transition
  if (d.month > 12 || d.day_of_week > 6 || d.hour > 23 || d.minute > 59 || d.second > 59) return false;
  if (d.year == 0) return d.day >= 1 && d.day <= 5;
  return d.year >= 1601 && d.year <= 9999 && d.day >= 1 && d.day <= DaysInMonth(d.year, d.month);
}

Status CheckRule(const ByteReader& r, const TimeZoneRule& rule) {
  // In 64 bits: the stored biases are any 32-bit values, and their sums must not overflow.
  const int64_t bias = rule.bias;
  for (int64_t b : {bias, bias + rule.standard_bias, bias + rule.daylight_bias}) {
    if (b < -kMaxBiasMinutes || b > kMaxBiasMinutes) return Bad(r, "bias out of range");
  }
  if (!ValidDate(rule.standard_date) || !ValidDate(rule.daylight_date)) return Bad(r, "transition date out of range");
  if (rule.year > 9999) return Bad(r, "rule year out of range");
  return {};
}

// Fills bias, standard and daylight fields in the TimeZoneStruct order: three
// biases, then (year and) dates. `with_years`: the struct's wStandardYear and
// wDaylightYear precede their dates.
Status ReadOffsets(ByteReader& r, TimeZoneRule& rule, bool with_years) {
  std::optional<uint32_t> bias = r.ReadU32Le(), standard = r.ReadU32Le(), daylight = r.ReadU32Le();
  if (!daylight) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition ends in a rule");
  rule.bias = static_cast<int32_t>(*bias);
  rule.standard_bias = static_cast<int32_t>(*standard);
  rule.daylight_bias = static_cast<int32_t>(*daylight);
  if (with_years && !r.Skip(2)) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone struct ends early");
  std::optional<TransitionDate> standard_date = ReadSystemTime(r);
  if (with_years && !r.Skip(2)) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone struct ends early");
  std::optional<TransitionDate> daylight_date = ReadSystemTime(r);
  if (!standard_date || !daylight_date) {
    return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition ends in a rule");
  }
  rule.standard_date = *standard_date;
  rule.daylight_date = *daylight_date;
  return CheckRule(r, rule);
}

}  // namespace

int64_t TransitionLocalSeconds(const TransitionDate& date, int64_t year) {
  int64_t days;
  if (date.year != 0) {
    days = DaysFromCivil(year, date.month, std::min<int>(date.day, DaysInMonth(year, date.month)));
  } else {
    const int64_t first = DaysFromCivil(year, date.month, 1);
    days = first + (date.day_of_week - WeekdayOfDays(first) + 7) % 7 + 7 * (date.day - 1);
    // The fifth occurrence means the last one of the month.
    while (days >= first + DaysInMonth(year, date.month)) days -= 7;
  }
  return days * 86400 + date.hour * 3600 + date.minute * 60 + date.second;
}

const TimeZoneRule& TimeZone::RuleFor(int64_t year) const {
  const TimeZoneRule* found = &rules.front();
  for (const TimeZoneRule& r : rules) {
    if (r.year <= year) found = &r;
  }
  return *found;
}

int64_t TimeZone::UtcToLocal(int64_t utc_seconds) const {
  const int64_t year = CivilFromSeconds(utc_seconds).year;
  const TimeZoneRule& rule = RuleFor(year);
  const int64_t standard = rule.standard_offset() * int64_t{60};
  if (!rule.has_daylight()) return utc_seconds + standard;
  const int64_t daylight = rule.daylight_offset() * int64_t{60};
  // Each switch happens at a local time read on the clock in force before it.
  const int64_t to_daylight = TransitionLocalSeconds(rule.daylight_date, year) - standard;
  const int64_t to_standard = TransitionLocalSeconds(rule.standard_date, year) - daylight;
  const bool in_daylight = to_daylight < to_standard ? utc_seconds >= to_daylight && utc_seconds < to_standard
                                                     : utc_seconds >= to_daylight || utc_seconds < to_standard;
  return utc_seconds + (in_daylight ? daylight : standard);
}

int64_t TimeZone::LocalToUtc(int64_t local_seconds) const {
  const int64_t year = CivilFromSeconds(local_seconds).year;
  const TimeZoneRule& rule = RuleFor(year);
  const int64_t standard = rule.standard_offset() * int64_t{60};
  if (!rule.has_daylight()) return local_seconds - standard;
  const int64_t daylight = rule.daylight_offset() * int64_t{60};
  const int64_t to_daylight = TransitionLocalSeconds(rule.daylight_date, year);
  const int64_t to_standard = TransitionLocalSeconds(rule.standard_date, year);
  const bool in_daylight = to_daylight < to_standard ? local_seconds >= to_daylight && local_seconds < to_standard
                                                     : local_seconds >= to_daylight || local_seconds < to_standard;
  return local_seconds - (in_daylight ? daylight : standard);
}

Result<TimeZone> ParseTimeZoneDefinition(Bytes blob) {
  ByteReader r(blob);
  // MajorVersion, MinorVersion, cbHeader, Reserved, cchKeyName.
  std::optional<uint8_t> major = r.ReadU8();
  std::optional<uint16_t> header_size = r.Skip(1) ? r.ReadU16Le() : std::nullopt;
  std::optional<uint16_t> key_chars = r.Skip(2) ? r.ReadU16Le() : std::nullopt;
  if (!major || !header_size || !key_chars) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition shorter than its header");
  if (*major != 2) return Bad(r, "version " + std::to_string(*major));
  std::optional<Bytes> key = r.ReadBytes(*key_chars * size_t{2});
  std::optional<uint16_t> rule_count = key ? r.ReadU16Le() : std::nullopt;
  if (!rule_count) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition name runs past its end");
  // cbHeader counts the fields from Reserved to cRules.
  if (*header_size != 6u + *key_chars * 2u) return Bad(r, "header size does not match the name");
  if (*rule_count == 0) return Bad(r, "no rules");
  if (*rule_count > limits::kMaxTimeZoneRules) {
    return MakeError(ErrorCode::kLimitExceeded, r.offset(), "time-zone definition with more than " +
                                                                std::to_string(limits::kMaxTimeZoneRules) + " rules");
  }
  TimeZone zone;
  zone.key_name = DecodeUnicodeString(*key);
  for (uint16_t i = 0; i < *rule_count; ++i) {
    std::optional<uint8_t> rule_major = r.ReadU8();
    // Minor version, reserved word, flags.
    if (!rule_major || !r.Skip(5)) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition ends in a rule");
    if (*rule_major != 2) return Bad(r, "rule version " + std::to_string(*rule_major));
    TimeZoneRule rule;
    std::optional<uint16_t> year = r.ReadU16Le();
    if (!year || !r.Skip(14)) return MakeError(ErrorCode::kTruncated, r.offset(), "time-zone definition ends in a rule");
    rule.year = *year;
    if (Status s = ReadOffsets(r, rule, false); !s) return std::move(s).error();
    if (!zone.rules.empty() && rule.year < zone.rules.back().year) return Bad(r, "rules out of year order");
    zone.rules.push_back(rule);
  }
  return zone;
}

Result<TimeZone> ParseTimeZoneStruct(Bytes blob) {
  ByteReader r(blob);
  TimeZoneRule rule;
  if (Status s = ReadOffsets(r, rule, true); !s) return std::move(s).error();
  TimeZone zone;
  zone.rules.push_back(rule);
  return zone;
}

}  // namespace formats::msg
