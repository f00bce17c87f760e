// The calendar part of a meeting item: the appointment's properties as one
// iCalendar object ([MS-OXCICAL]), METHOD:REQUEST for a request, CANCEL for a
// cancellation and REPLY for a response, which mail programs show with their
// Accept and Decline buttons. Times are written in the item's own time zone
// (a VTIMEZONE built from its definition) or in UTC when it has none.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "formats/common/ascii.h"
#include "formats/common/civil_time.h"
#include "formats/eml/compose_p.h"
#include "formats/ical/writer.h"
#include "formats/msg/filetime.h"

namespace formats::eml {

namespace {

using ical::Parameter;

struct Kind {
  const char* method;
  const char* reply_status;  // PARTSTAT of the one who answers; null for other methods
};

std::optional<Kind> MeetingKind(std::string_view message_class) {
  static constexpr struct {
    const char* suffix;
    Kind kind;
  } kKinds[] = {
      {"Request", {"REQUEST", nullptr}},     {"Canceled", {"CANCEL", nullptr}},
      {"Resp.Pos", {"REPLY", "ACCEPTED"}},   {"Resp.Neg", {"REPLY", "DECLINED"}},
      {"Resp.Tent", {"REPLY", "TENTATIVE"}},
  };
  constexpr std::string_view kPrefix = "IPM.Schedule.Meeting.";
  if (!StartsWithIgnoreCase(message_class, kPrefix)) return std::nullopt;
  const std::string_view rest = message_class.substr(kPrefix.size());
  for (const auto& k : kKinds) {
    const std::string_view suffix = k.suffix;
    // "IPM.Schedule.Meeting.Request" and its own subclasses ("...Request.X").
    if (StartsWithIgnoreCase(rest, suffix) && (rest.size() == suffix.size() || rest[suffix.size()] == '.')) {
      return k.kind;
    }
  }
  return std::nullopt;
}

int64_t UnixSeconds(uint64_t filetime) {
  return static_cast<int64_t>(filetime / 10000000) - kSeconds1601To1970;
}

int64_t FloorDay(int64_t seconds) {
  const int64_t rest = seconds % 86400;
  return seconds - (rest < 0 ? rest + 86400 : rest);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// The UID: a global object id ([MS-OXOCAL] 2.2.1.27) in upper-case hex as
// Outlook writes it, with the instance date cleared so that every occurrence
// shares it, or the UID an iCalendar import stored in it ("vCal-Uid").
std::string Uid(const msg::Message& m, const msg::Meeting& meeting) {
  constexpr size_t kDataOffset = 40;
  std::vector<uint8_t> id =
      !meeting.clean_global_object_id.empty() ? meeting.clean_global_object_id : meeting.global_object_id;
  if (id.size() >= kDataOffset) {
    std::fill(id.begin() + 16, id.begin() + 20, 0);
    static constexpr std::string_view kVcalUid("vCal-Uid\x01\x00\x00\x00", 12);
    const std::string_view data(reinterpret_cast<const char*>(id.data()) + kDataOffset, id.size() - kDataOffset);
    if (data.substr(0, kVcalUid.size()) == kVcalUid) {
      std::string uid(data.substr(kVcalUid.size()));
      uid = uid.substr(0, uid.find('\0'));
      const bool printable = !uid.empty() && std::all_of(uid.begin(), uid.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
      });
      if (printable) return uid;
    }
    return Hex(id);
  }
  // No usable id: the item's own Message-ID names the meeting at least uniquely.
  std::string mid = m.internet_message_id;
  mid.erase(std::remove_if(mid.begin(), mid.end(), [](char c) { return c == '<' || c == '>' || c <= ' '; }),
            mid.end());
  return mid.empty() ? "mailvane-" + Hex(std::vector<uint8_t>(m.subject.begin(), m.subject.end())) : mid;
}

// The clock an event's times are written in.
struct Clock {
  const msg::TimeZone* zone = nullptr;  // null: UTC
  std::string tzid;

  // "DTSTART;TZID=..:20260315T100000", "...;VALUE=DATE:20260315" or "...:..Z".
  void Write(ical::Writer& w, std::string_view name, int64_t local, bool date) const {
    std::vector<Parameter> params;
    if (date) {
      params.push_back({"VALUE", "DATE"});
      w.Raw(name, params, ical::FormatDate(CivilFromSeconds(local)));
    } else if (zone) {
      params.push_back({"TZID", tzid});
      w.Raw(name, params, ical::FormatDateTime(CivilFromSeconds(local)));
    } else {
      w.Raw(name, params, ical::FormatUtc(local));
    }
  }
  int64_t Local(int64_t utc) const { return zone ? zone->UtcToLocal(utc) : utc; }
  int64_t Utc(int64_t local) const { return zone ? zone->LocalToUtc(local) : local; }
};

std::string ZoneName(const msg::TimeZone& zone, int64_t year) {
  if (!zone.key_name.empty()) return zone.key_name;
  return "Zone " + ical::FormatUtcOffset(zone.RuleFor(year).standard_offset());
}

constexpr const char* kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

std::string DayList(uint32_t mask, std::string_view prefix = "") {
  std::string out;
  for (int d = 0; d < 7; ++d) {
    if (mask & (1u << d)) out += (out.empty() ? "" : ",") + std::string(prefix) + kDays[d];
  }
  return out;
}

// One observance of a VTIMEZONE: the switch to `to_offset` on `date`, every
// year from `year` (to `last_year`, when it is not 0: another rule follows)
// when it is a relative date. The end is a COUNT: an UNTIL would have to be in
// UTC here (RFC 5545 3.3.10), which readers that take the floating DTSTART as
// it stands refuse to compare.
void Observance(ical::Writer& w, const char* name, const msg::TransitionDate& date, int64_t year, int from_offset,
                int to_offset, int64_t last_year = 0) {
  w.Begin(name);
  int64_t onset = DaysFromCivil(year, 1, 1) * 86400;
  if (date.month != 0) onset = TransitionLocalSeconds(date, date.year != 0 ? date.year : year);
  w.Raw("DTSTART", ical::FormatDateTime(CivilFromSeconds(onset)));
  w.Raw("TZOFFSETFROM", ical::FormatUtcOffset(from_offset));
  w.Raw("TZOFFSETTO", ical::FormatUtcOffset(to_offset));
  if (date.month != 0 && date.year == 0) {
    const int nth = date.day == 5 ? -1 : date.day;
    std::string rule = "FREQ=YEARLY;BYMONTH=" + std::to_string(date.month) + ";BYDAY=" + std::to_string(nth) +
                       kDays[date.day_of_week];
    if (last_year != 0) rule += ";COUNT=" + std::to_string(last_year - year + 1);
    w.Raw("RRULE", rule);
  }
  w.End(name);
}

// Minutes east of UTC that `rule` gives at the local time `local`.
int OffsetAt(const msg::TimeZoneRule& rule, int64_t local) {
  if (!rule.has_daylight()) return rule.standard_offset();
  const int64_t year = CivilFromSeconds(local).year;
  const int64_t to_daylight = TransitionLocalSeconds(rule.daylight_date, year);
  const int64_t to_standard = TransitionLocalSeconds(rule.standard_date, year);
  const bool in_daylight = to_daylight < to_standard ? local >= to_daylight && local < to_standard
                                                     : local >= to_daylight || local < to_standard;
  return in_daylight ? rule.daylight_offset() : rule.standard_offset();
}

// The VTIMEZONE of the rules in force from `first_year` to `last_year`: a
// series that runs into years with other rules needs each of them.
void WriteZone(ical::Writer& w, const Clock& clock, int64_t first_year, int64_t last_year) {
  const std::vector<msg::TimeZoneRule>& rules = clock.zone->rules;
  w.Begin("VTIMEZONE");
  w.Raw("TZID", clock.tzid);
  const msg::TimeZoneRule* previous = nullptr;
  for (size_t i = 0; i < rules.size(); ++i) {
    // RuleFor: a rule holds from its year to the next rule's; the first also before.
    const bool has_next = i + 1 < rules.size();
    const int64_t from = i == 0 ? INT64_MIN : rules[i].year;
    const int64_t to = has_next ? int64_t{rules[i + 1].year} - 1 : INT64_MAX;
    if (to < first_year || from > last_year || to < from) continue;
    const msg::TimeZoneRule& rule = rules[i];
    int64_t year;
    if (previous == nullptr) {
      // An observance starts in the rule's first year, or as early as the zone is used.
      year = rule.year >= 1601 ? std::min<int64_t>(rule.year, first_year) : std::min<int64_t>(first_year, 1601);
    } else {
      year = from;
      // The new rule takes over at the start of its year; a clock it sets
      // differently then moves there.
      const int64_t new_year = DaysFromCivil(year, 1, 1) * 86400;
      const int before = OffsetAt(*previous, new_year - 1), after = OffsetAt(rule, new_year);
      if (before != after && rule.has_daylight()) {
        Observance(w, after == rule.daylight_offset() ? "DAYLIGHT" : "STANDARD", {}, year, before, after);
      }
    }
    // The rule's last year, when a later rule is written after it.
    const int64_t until = has_next && rules[i + 1].year <= last_year ? to : 0;
    if (rule.has_daylight()) {
      Observance(w, "STANDARD", rule.standard_date, year, rule.daylight_offset(), rule.standard_offset(), until);
      Observance(w, "DAYLIGHT", rule.daylight_date, year, rule.standard_offset(), rule.daylight_offset(), until);
    } else {
      const int before = previous ? OffsetAt(*previous, DaysFromCivil(year, 1, 1) * 86400 - 1) : rule.standard_offset();
      Observance(w, "STANDARD", {}, year, before, rule.standard_offset());
    }
    previous = &rule;
  }
  w.End("VTIMEZONE");
}

std::string RecurrenceRule(const msg::Recurrence& r, const Clock& clock, bool all_day) {
  using P = msg::Recurrence::Pattern;
  using F = msg::Recurrence::Frequency;
  std::string rule;
  const CivilTime start = CivilFromSeconds(r.start_date);
  switch (r.pattern) {
    case P::kDay:
      rule = "FREQ=DAILY;INTERVAL=" + std::to_string(r.period / 1440);
      break;
    case P::kWeek:
      // A daily frequency with a week pattern is "every weekday": each week.
      rule = "FREQ=WEEKLY;INTERVAL=" + std::to_string(r.frequency == F::kDaily ? 1 : r.period) +
             ";BYDAY=" + DayList(r.day_mask) + ";WKST=" + kDays[r.first_day_of_week];
      break;
    case P::kMonth:
    case P::kMonthEnd:
    case P::kMonthNth: {
      const bool yearly = r.frequency == F::kYearly;
      rule = yearly ? "FREQ=YEARLY;INTERVAL=" + std::to_string(r.period / 12) + ";BYMONTH=" + std::to_string(start.month)
                    : "FREQ=MONTHLY;INTERVAL=" + std::to_string(r.period);
      if (r.pattern == P::kMonthNth) {
        rule += ";BYDAY=" + DayList(r.day_mask) + ";BYSETPOS=" + std::to_string(r.nth == 5 ? -1 : int(r.nth));
      } else {
        // Outlook keeps day 31 to the last day of shorter months.
        const bool last = r.pattern == P::kMonthEnd || r.day_of_month == 31;
        rule += ";BYMONTHDAY=" + (last ? std::string("-1") : std::to_string(r.day_of_month));
      }
      break;
    }
  }
  if (r.end == msg::Recurrence::End::kCount) {
    rule += ";COUNT=" + std::to_string(r.occurrence_count);
  } else if (r.end == msg::Recurrence::End::kDate) {
    // UNTIL is a date for all-day events and UTC otherwise (RFC 5545 3.3.10).
    rule += ";UNTIL=" + (all_day ? ical::FormatDate(CivilFromSeconds(r.end_date))
                                 : ical::FormatUtc(clock.Utc(r.end_date + r.start_minutes * int64_t{60})));
  }
  return rule;
}

// A request that changes one occurrence of a series names it: its global
// object id carries the occurrence's date, PidLidExceptionReplaceTime its
// original start.
void WriteInstance(ical::Writer& w, const msg::Meeting& meeting, const Clock& clock, bool all_day) {
  const std::vector<uint8_t>& id = meeting.global_object_id;
  if (id.size() < 20) return;
  const int year = id[16] << 8 | id[17], month = id[18], day = id[19];
  if (year == 0 && month == 0 && day == 0) return;
  if (meeting.exception_replace_time && !all_day) {
    clock.Write(w, "RECURRENCE-ID", clock.Local(UnixSeconds(*meeting.exception_replace_time)), false);
  } else if (year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
             day <= DaysInMonth(year, month)) {
    clock.Write(w, "RECURRENCE-ID", DaysFromCivil(year, month, day) * 86400, true);
  }
}

// The CN of a calendar address: the display name, without an address it
// repeats ("Name <a@b>" stored as the name gives "Name"); none when the name
// is only the address, which mail programs would show twice.
std::string CommonName(const mime::Mailbox& who) {
  std::string name = RemoveNuls(who.display_name);
  for (char& ch : name) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
  }
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return std::string(s);
  };
  name = trim(name);
  const size_t open = name.rfind('<');
  if (!name.empty() && name.back() == '>' && open != std::string::npos &&
      mime::IsMailAddress(std::string_view(name).substr(open + 1, name.size() - open - 2))) {
    name = trim(std::string_view(name).substr(0, open));
  }
  if (EqualsIgnoreCase(name, who.address)) name.clear();
  return name;
}

void Address(ical::Writer& w, const char* name, std::vector<Parameter> params, const mime::Mailbox& who) {
  const std::string cn = CommonName(who);
  if (!cn.empty()) params.insert(params.begin(), {"CN", cn});
  w.Raw(name, params, "mailto:" + who.address);
}

// What every VEVENT of the object repeats.
struct Common {
  std::string uid;
  std::string stamp;
  uint32_t sequence = 0;
  Kind kind;
  std::optional<mime::Mailbox> organizer;
  std::vector<Parameter> organizer_params;  // SENT-BY: the delegate who sent it
  std::vector<std::pair<mime::Mailbox, std::vector<Parameter>>> attendees;
  std::string status;
};

void WriteCommon(ical::Writer& w, const Common& c) {
  if (c.organizer) Address(w, "ORGANIZER", c.organizer_params, *c.organizer);
  for (const auto& [who, params] : c.attendees) Address(w, "ATTENDEE", params, who);
  w.Raw("UID", ical::Writer::EscapeText(c.uid));
  w.Raw("SEQUENCE", std::to_string(c.sequence));
  w.Raw("DTSTAMP", c.stamp);
  if (!c.status.empty()) w.Raw("STATUS", c.status);
}

}  // namespace

std::optional<mime::Entity> CalendarPart(const msg::Message& m, bool top_level) {
  if (!m.meeting) return std::nullopt;
  const std::optional<Kind> kind = MeetingKind(m.message_class);
  if (!kind) return std::nullopt;
  const msg::Meeting& meeting = *m.meeting;
  const msg::Recurrence* recurrence = meeting.recurrence ? &*meeting.recurrence : nullptr;
  if (!recurrence && !meeting.start) return std::nullopt;  // a meeting at no time says nothing to a calendar

  // The clock: the recurrence's zone for a series, the start's zone otherwise.
  Clock clock;
  std::optional<msg::TimeZone> derived;
  const std::optional<msg::TimeZone>& own = recurrence && meeting.recurrence_zone ? meeting.recurrence_zone
                                                                                  : meeting.start_zone;
  if (own) {
    clock.zone = &*own;
  } else if (recurrence && meeting.start) {
    // A series without any zone: its local times are as far from UTC as its
    // first start is from the stored UTC start.
    const int64_t first_local = recurrence->start_date + recurrence->start_minutes * int64_t{60};
    const int64_t bias = (UnixSeconds(*meeting.start) - first_local) / 60;
    if (bias >= -24 * 60 && bias <= 24 * 60) {
      msg::TimeZoneRule fixed;
      fixed.bias = static_cast<int32_t>(bias);
      derived = msg::TimeZone{"", {fixed}};
      clock.zone = &*derived;
    }
  }

  const bool all_day = meeting.all_day;
  // A single meeting may end in another zone than it starts (a flight).
  Clock end_clock = clock;
  if (!recurrence && !all_day && clock.zone && meeting.end_zone &&
      meeting.end_zone->key_name != clock.zone->key_name) {
    end_clock.zone = &*meeting.end_zone;
  }
  int64_t start, end;
  if (recurrence) {
    start = recurrence->start_date + recurrence->start_minutes * int64_t{60};
    end = recurrence->start_date + recurrence->end_minutes * int64_t{60};
  } else {
    const int64_t start_utc = UnixSeconds(*meeting.start);
    start = clock.Local(start_utc);
    end = end_clock.Local(meeting.end ? std::max(start_utc, UnixSeconds(*meeting.end)) : start_utc);
  }
  if (all_day && end - start < 86400) end = start + 86400;
  const int64_t year = CivilFromSeconds(start).year;
  if (clock.zone) clock.tzid = ZoneName(*clock.zone, year);
  if (end_clock.zone) end_clock.tzid = ZoneName(*end_clock.zone, year);

  Result<Addresses> addresses = ResolveAddresses(m, top_level);
  if (!addresses) return std::nullopt;
  Common common;
  common.kind = *kind;
  common.uid = Uid(m, meeting);
  common.sequence = meeting.sequence;
  std::optional<int64_t> stamp;
  for (const auto& t : {kind->reply_status ? meeting.attendee_critical_change : meeting.owner_critical_change,
                        m.client_submit_time, m.creation_time, meeting.start}) {
    if (t && !stamp) stamp = msg::FileTimeToUnixSeconds(*t);
  }
  common.stamp = ical::FormatUtc(stamp.value_or(0));
  if (kind->reply_status) {
    // The answer goes from the attendee (its sender) to the organizer (its To).
    if (!addresses->lists[0].empty()) common.organizer = addresses->lists[0].front();
    if (addresses->from) common.attendees.push_back({*addresses->from, {{"PARTSTAT", kind->reply_status}}});
  } else {
    common.organizer = addresses->from;
    if (addresses->sender) common.organizer_params.push_back({"SENT-BY", "mailto:" + addresses->sender->address});
    common.status = std::string_view(kind->method) == "CANCEL" ? "CANCELLED" : "CONFIRMED";
    static constexpr const char* kRoles[] = {"REQ-PARTICIPANT", "OPT-PARTICIPANT", "NON-PARTICIPANT"};
    for (int list = 0; list < 3; ++list) {
      for (const mime::Mailbox& who : addresses->lists[list]) {
        if (common.organizer && EqualsIgnoreCase(who.address, common.organizer->address)) continue;
        std::vector<Parameter> params;
        if (list == 2) params.push_back({"CUTYPE", "RESOURCE"});
        params.push_back({"ROLE", kRoles[list]});
        params.push_back({"PARTSTAT", "NEEDS-ACTION"});
        if (meeting.response_requested && std::string_view(kind->method) == "REQUEST") params.push_back({"RSVP", "TRUE"});
        common.attendees.push_back({who, std::move(params)});
      }
    }
  }

  ical::Writer w;
  w.Begin("VCALENDAR");
  w.Raw("PRODID", "-//Mailvane//Mailvane//EN");
  w.Raw("VERSION", "2.0");
  w.Raw("METHOD", kind->method);
  // The years the event's times fall in: a series to its last occurrence.
  int64_t last_year = std::max<int64_t>(year, CivilFromSeconds(end).year);
  if (recurrence) {
    last_year = recurrence->end == msg::Recurrence::End::kNever
                    ? INT64_MAX
                    : std::max(last_year, int64_t{CivilFromSeconds(recurrence->end_date).year});
  }
  if (clock.zone && !all_day) WriteZone(w, clock, year, last_year);
  if (end_clock.zone && !all_day && end_clock.tzid != clock.tzid) WriteZone(w, end_clock, year, last_year);

  const std::string summary = RemoveNuls(m.subject);
  const std::string location = RemoveNuls(meeting.location);
  w.Begin("VEVENT");
  WriteCommon(w, common);
  w.Text("SUMMARY", summary);
  if (std::optional<std::string> text = BodyText(m)) w.Text("DESCRIPTION", *text);
  if (!location.empty()) w.Text("LOCATION", location);
  clock.Write(w, "DTSTART", start, all_day);
  end_clock.Write(w, "DTEND", end, all_day);
  if (!recurrence) WriteInstance(w, meeting, clock, all_day);
  if (recurrence) {
    w.Raw("RRULE", RecurrenceRule(*recurrence, clock, all_day));
    // Deleted occurrences; a changed one is deleted too, but its own VEVENT
    // below replaces it.
    for (int64_t date : recurrence->deleted_dates) {
      const bool changed = std::any_of(recurrence->exceptions.begin(), recurrence->exceptions.end(),
                                       [date](const msg::RecurrenceException& e) {
                                         return FloorDay(e.original_start) == date;
                                       });
      if (!changed) clock.Write(w, "EXDATE", date + recurrence->start_minutes * int64_t{60}, all_day);
    }
  }
  if (m.sensitivity == 2 || m.sensitivity == 3) w.Raw("CLASS", m.sensitivity == 2 ? "PRIVATE" : "CONFIDENTIAL");
  w.Raw("TRANSP", meeting.busy_status == 0 ? "TRANSPARENT" : "OPAQUE");
  w.End("VEVENT");

  if (recurrence) {
    for (const msg::RecurrenceException& e : recurrence->exceptions) {
      w.Begin("VEVENT");
      WriteCommon(w, common);
      clock.Write(w, "RECURRENCE-ID", e.original_start, all_day);
      w.Text("SUMMARY", e.subject ? RemoveNuls(*e.subject) : summary);
      const std::string where = e.location ? RemoveNuls(*e.location) : location;
      if (!where.empty()) w.Text("LOCATION", where);
      clock.Write(w, "DTSTART", e.start, all_day);
      clock.Write(w, "DTEND", all_day && e.end - e.start < 86400 ? e.start + 86400 : e.end, all_day);
      w.End("VEVENT");
    }
  }
  w.End("VCALENDAR");

  mime::Entity part;
  part.media_type = "text/calendar";
  part.type_params = {{"charset", "utf-8", false}, {"method", kind->method, false}};
  part.body = w.Take();
  return part;
}

}  // namespace formats::eml
