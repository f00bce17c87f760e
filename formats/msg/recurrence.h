// The recurrence blob of a calendar item, PidLidAppointmentRecur: an
// AppointmentRecurrencePattern ([MS-OXOCAL] 2.2.1.44.2) holding the
// RecurrencePattern, the times of day and the changed occurrences.
//
// Dates and times in it are local times of the recurrence's time zone, counted
// in minutes from 1601-01-01 00:00; here they are kept as local seconds counted
// like Unix seconds (see civil_time.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/result.h"

namespace formats::msg {

struct RecurrenceException {
  int64_t start = 0, end = 0;  // local seconds of the changed occurrence
  int64_t original_start = 0;  // local seconds of the occurrence it replaces
  std::optional<std::string> subject, location;  // UTF-8, when changed
};

struct Recurrence {
  enum class Frequency { kDaily, kWeekly, kMonthly, kYearly };
  // The Gregorian pattern types; Hijri ones are refused as unsupported.
  enum class Pattern { kDay = 0, kWeek = 1, kMonth = 2, kMonthNth = 3, kMonthEnd = 4 };
  enum class End { kDate, kCount, kNever };

  Frequency frequency = Frequency::kDaily;
  Pattern pattern = Pattern::kDay;
  // Minutes for a daily pattern, weeks for a weekly one, months otherwise.
  uint32_t period = 1;
  uint32_t day_mask = 0;      // kWeek, kMonthNth: bit 0 Sunday .. bit 6 Saturday
  uint32_t day_of_month = 0;  // kMonth: 1..31
  uint32_t nth = 0;           // kMonthNth: 1..4, 5 for the last
  End end = End::kNever;
  uint32_t occurrence_count = 0;  // End::kCount
  uint32_t first_day_of_week = 0;  // 0 Sunday
  std::vector<int64_t> deleted_dates;   // local midnights of removed or changed occurrences
  std::vector<int64_t> modified_dates;  // local midnights of changed occurrences
  int64_t start_date = 0;  // local midnight of the first occurrence
  int64_t end_date = 0;    // local midnight of the last (End::kDate, kCount)
  int32_t start_minutes = 0;  // StartTimeOffset: the start, minutes after midnight
  int32_t end_minutes = 0;    // EndTimeOffset: the end, minutes after the start's midnight
  std::vector<RecurrenceException> exceptions;
};

// Errors: kTruncated for a blob shorter than its fields, kBadProperty for a
// version, type, count, date or time out of range, kUnsupported for a Hijri
// pattern, kLimitExceeded beyond limits::kMaxRecurrenceExceptions occurrences.
// 8-bit exception subjects and locations are decoded with `codepages` when the
// blob carries no Unicode form of them.
Result<Recurrence> ParseRecurrence(Bytes blob, std::span<const uint32_t> codepages);

}  // namespace formats::msg
