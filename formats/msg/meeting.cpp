#include "formats/msg/meeting.h"

#include "formats/common/ascii.h"
#include "formats/common/limits.h"

namespace formats::msg {

namespace {

// PSETID_Appointment numbers ([MS-OXPROPS]).
constexpr uint32_t kAppointmentSequence = 0x8201;
constexpr uint32_t kBusyStatus = 0x8205;
constexpr uint32_t kLocation = 0x8208;
constexpr uint32_t kAppointmentStartWhole = 0x820D;
constexpr uint32_t kAppointmentEndWhole = 0x820E;
constexpr uint32_t kAppointmentSubType = 0x8215;
constexpr uint32_t kAppointmentRecur = 0x8216;
constexpr uint32_t kExceptionReplaceTime = 0x8228;
constexpr uint32_t kTimeZoneStruct = 0x8233;
constexpr uint32_t kTimeZoneDefinitionStartDisplay = 0x825E;
constexpr uint32_t kTimeZoneDefinitionEndDisplay = 0x825F;
constexpr uint32_t kTimeZoneDefinitionRecur = 0x8260;
// PSETID_Meeting numbers.
constexpr uint32_t kAttendeeCriticalChange = 0x0001;
constexpr uint32_t kWhere = 0x0002;
constexpr uint32_t kGlobalObjectId = 0x0003;
constexpr uint32_t kOwnerCriticalChange = 0x001A;
constexpr uint32_t kCleanGlobalObjectId = 0x0023;
// PidTagResponseRequested; PidTagStartDate and PidTagEndDate, which some
// writers set instead of the whole start and end.
constexpr uint16_t kResponseRequested = 0x0063;
constexpr uint16_t kStartDate = 0x0060;
constexpr uint16_t kEndDate = 0x0061;

bool IsMeetingClass(std::string_view message_class) {
  for (std::string_view prefix : {"IPM.Schedule.Meeting", "IPM.Appointment"}) {
    if (StartsWithIgnoreCase(message_class, prefix) &&
        (message_class.size() == prefix.size() || message_class[prefix.size()] == '.')) {
      return true;
    }
  }
  return false;
}

// A calendar blob as stored; absent when the item has none. A blob beyond the
// limit is a damaged one: it comes back as an error for the caller to warn of.
Result<std::optional<std::vector<uint8_t>>> Blob(const PropertyBag& bag, std::optional<uint16_t> id) {
  if (!id) return std::optional<std::vector<uint8_t>>();
  return bag.GetBinary(*id, limits::kMaxCalendarBlobBytes);
}

// A time of the calendar: FILETIME before the year 9999, so that local times a
// day away stay four-digit years; later ones are no meeting anyone holds.
std::optional<uint64_t> CalendarTime(const PropertyBag& bag, std::optional<uint16_t> id) {
  constexpr uint64_t kYear9999 = 2650152384000000000ull;  // 9999-01-01 00:00 UTC
  if (!id) return std::nullopt;
  std::optional<uint64_t> t = bag.GetTime(*id);
  if (t && *t >= kYear9999) return std::nullopt;
  return t;
}

}  // namespace

Status ReadMeeting(const PropertyBag& bag, const NamedProperties& named, std::span<const uint32_t> codepages,
                   Message& m) {
  if (!IsMeetingClass(m.message_class)) return {};
  auto appointment = [&named](uint32_t lid) {
    return named.FindNumbered(NamedProperties::kAppointment, lid);
  };
  auto meeting = [&named](uint32_t lid) { return named.FindNumbered(NamedProperties::kMeeting, lid); };
  Meeting out;
  out.start = CalendarTime(bag, appointment(kAppointmentStartWhole));
  out.end = CalendarTime(bag, appointment(kAppointmentEndWhole));
  if (!out.start) {
    out.start = CalendarTime(bag, kStartDate);
    out.end = CalendarTime(bag, kEndDate);
  }
  out.exception_replace_time = CalendarTime(bag, appointment(kExceptionReplaceTime));
  if (auto id = appointment(kAppointmentSubType)) out.all_day = bag.GetBool(*id).value_or(false);
  if (auto id = appointment(kAppointmentSequence)) out.sequence = bag.GetLong(*id).value_or(0);
  if (auto id = appointment(kBusyStatus)) out.busy_status = bag.GetLong(*id).value_or(2);
  out.owner_critical_change = CalendarTime(bag, meeting(kOwnerCriticalChange));
  out.attendee_critical_change = CalendarTime(bag, meeting(kAttendeeCriticalChange));
  out.response_requested = bag.GetBool(kResponseRequested).value_or(true);
  for (std::optional<uint16_t> id : {appointment(kLocation), meeting(kWhere)}) {
    if (!id || !out.location.empty()) continue;
    Result<std::optional<std::string>> text = bag.GetString(*id, codepages);
    if (!text) return std::move(text).error();
    if (*text) out.location = std::move(**text);
  }
  for (const auto& [lid, target] : {std::pair{kGlobalObjectId, &out.global_object_id},
                                    std::pair{kCleanGlobalObjectId, &out.clean_global_object_id}}) {
    std::optional<uint16_t> id = meeting(lid);
    if (!id) continue;
    Result<std::optional<std::vector<uint8_t>>> value = bag.GetBinary(*id, limits::kMaxEntryIdBytes);
    if (!value && value.error().code != ErrorCode::kLimitExceeded) return std::move(value).error();
    if (value && *value) *target = std::move(**value);
  }

  // The blobs: one that lies costs the calendar, never the message. Only a
  // broken stream, which is the file's damage, fails the item.
  bool lies = false;
  auto warn = [&m, &lies](const ParseError& e, const char* what) {
    m.warnings.push_back(std::string(what) + " does not parse (" + e.detail + "); the item goes without its calendar");
    lies = true;
  };
  auto blob = [&](uint32_t lid, const char* what) -> Result<std::optional<std::vector<uint8_t>>> {
    Result<std::optional<std::vector<uint8_t>>> value = Blob(bag, appointment(lid));
    if (!value && value.error().code == ErrorCode::kLimitExceeded) {
      warn(value.error(), what);
      return std::optional<std::vector<uint8_t>>();
    }
    return value;
  };
  struct {
    uint32_t lid;
    std::optional<TimeZone>* target;
    const char* what;
  } const zones[] = {
      {kTimeZoneDefinitionStartDisplay, &out.start_zone, "start time-zone definition"},
      {kTimeZoneDefinitionEndDisplay, &out.end_zone, "end time-zone definition"},
      {kTimeZoneDefinitionRecur, &out.recurrence_zone, "recurrence time-zone definition"},
      {kTimeZoneStruct, &out.recurrence_zone, "time-zone struct"},
  };
  for (const auto& z : zones) {
    if (*z.target) continue;  // the struct only stands in for a missing definition
    Result<std::optional<std::vector<uint8_t>>> bytes = blob(z.lid, z.what);
    if (!bytes) return std::move(bytes).error();
    if (lies) return {};
    if (!*bytes) continue;
    Result<TimeZone> parsed =
        z.lid == kTimeZoneStruct ? ParseTimeZoneStruct(**bytes) : ParseTimeZoneDefinition(**bytes);
    if (!parsed) {
      warn(parsed.error(), z.what);
      return {};
    }
    *z.target = std::move(*parsed);
  }
  Result<std::optional<std::vector<uint8_t>>> recur = blob(kAppointmentRecur, "recurrence pattern");
  if (!recur) return std::move(recur).error();
  if (lies) return {};
  if (*recur) {
    Result<Recurrence> parsed = ParseRecurrence(**recur, codepages);
    if (!parsed) {
      warn(parsed.error(), "recurrence pattern");
      return {};
    }
    out.recurrence = std::move(*parsed);
  }
  m.meeting = std::move(out);
  return {};
}

}  // namespace formats::msg
