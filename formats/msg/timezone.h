// Time-zone blobs of calendar items ([MS-OXOCAL] 2.2.1.39 and 2.2.1.41): the
// PidLidTimeZoneStruct and the TimeZoneDefinition of
// PidLidAppointmentTimeZoneDefinition{StartDisplay,EndDisplay,Recur}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/result.h"

namespace formats::msg {

// A SYSTEMTIME as a transition date. With year 0 it recurs every year on the
// day-th (1..4, 5 for the last) day_of_week (0 Sunday) of month; with a year it
// is that one date.
struct TransitionDate {
  uint16_t year = 0, month = 0, day_of_week = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// One TZRule: the offsets and transitions from `year` on.
struct TimeZoneRule {
  uint16_t year = 0;  // first year it applies to (0: always)
  // Minutes: UTC = local time + bias (+ standard_bias or daylight_bias).
  int32_t bias = 0, standard_bias = 0, daylight_bias = 0;
  TransitionDate standard_date;  // switch to standard time, in daylight time
  TransitionDate daylight_date;  // switch to daylight time, in standard time
  // Without a standard_date month the zone keeps standard time all year.
  bool has_daylight() const { return standard_date.month != 0 && daylight_date.month != 0; }
  int standard_offset() const { return -(bias + standard_bias); }  // minutes east of UTC
  int daylight_offset() const { return -(bias + daylight_bias); }
};

struct TimeZone {
  std::string key_name;  // e.g. "W. Europe Standard Time"; empty for a TimeZoneStruct
  std::vector<TimeZoneRule> rules;  // at least one, by ascending year

  // The rule in force in `year`: the last whose year is not after it, else the first.
  const TimeZoneRule& RuleFor(int64_t year) const;
  // Local wall-clock seconds (counted like Unix seconds) for a UTC instant, and
  // the UTC instant of a local time (a time skipped or repeated by a switch is
  // taken in the time before it).
  int64_t UtcToLocal(int64_t utc_seconds) const;
  int64_t LocalToUtc(int64_t local_seconds) const;
};

// The local time of a transition in `year`.
int64_t TransitionLocalSeconds(const TransitionDate& date, int64_t year);

// Errors: kTruncated for a blob shorter than its fields, kBadProperty for a
// version, count or date out of range, kLimitExceeded beyond
// limits::kMaxTimeZoneRules rules.
Result<TimeZone> ParseTimeZoneDefinition(Bytes blob);
Result<TimeZone> ParseTimeZoneStruct(Bytes blob);

}  // namespace formats::msg
