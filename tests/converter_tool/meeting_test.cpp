// Meeting requests, cancellations and responses through the built quorvex: the
// calendar part of each is read back by check_calendar.py (python3-icalendar),
// which compares its times, people, rule and every occurrence with what the
// fixture says; check_eml.py still reads the whole message with both readers.
#include <gtest/gtest.h>

#include "formats/cfb/compound_file.h"
#include "formats/msg/reader.h"
#include "tests/converter_tool/tool_test_util.h"
#include "tools/msg_fixture/msg_writer.h"

namespace {

using msg_fixture::FileTime;
using msg_fixture::FixtureMessage;
using msg_fixture::FixtureRecurrence;
using msg_fixture::FixtureZoneRule;
using msg_fixture::Minutes1601;
using tool_test::JsonString;
using tool_test::TempDir;

constexpr std::array<uint8_t, 16> kAppointment = {0x02, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::array<uint8_t, 16> kMeeting = {0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10,
                                              0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05};

const std::vector<FixtureZoneRule> kTokyo = {{1601, -540, 0, 0, {}, {}}};
// Central Europe: last Sunday of October 03:00, last Sunday of March 02:00.
const std::vector<FixtureZoneRule> kBerlin = {{1601, -60, 0, -60, {0, 10, 0, 5, 3, 0}, {0, 3, 0, 5, 2, 0}}};
// The US rules before and from 2007, as Outlook stores them.
std::vector<FixtureZoneRule> UsZone(int32_t bias) {
  return {{2006, bias, 0, -60, {0, 10, 0, 5, 2, 0}, {0, 4, 0, 1, 2, 0}},
          {2007, bias, 0, -60, {0, 11, 0, 1, 2, 0}, {0, 3, 0, 2, 2, 0}}};
}

// A meeting item: named properties are added as they are set.
struct MeetingFixture {
  FixtureMessage m;

  uint16_t Id(const std::array<uint8_t, 16>& guid, uint32_t lid) {
    m.named_properties.push_back({guid, "", lid});
    return static_cast<uint16_t>(0x8000 + m.named_properties.size() - 1);
  }
  void Zone(const std::vector<FixtureZoneRule>& rules, std::string_view name, bool recurring) {
    const std::vector<uint8_t> blob = msg_fixture::TimeZoneDefinition(name, rules);
    m.props.Binary(Id(kAppointment, 0x825E), blob).Binary(Id(kAppointment, 0x825F), blob);
    if (recurring) m.props.Binary(Id(kAppointment, 0x8260), blob);
  }
  void Times(uint64_t start, uint64_t end) {
    m.props.Time(Id(kAppointment, 0x820D), start).Time(Id(kAppointment, 0x820E), end);
  }
};

// From Dana to Marek (To), Irina (Cc) and a room (Bcc), or Marek's answer back.
// `occurrence`: the year (high, low byte), month and day of the one occurrence
// of a series the item is about, zero for a whole meeting.
MeetingFixture Meeting(std::string_view message_class, std::string_view subject, bool answer = false,
                       std::array<uint8_t, 4> occurrence = {}) {
  MeetingFixture f;
  FixtureMessage& m = f.m;
  m.props.Unicode(0x001A, message_class).Unicode(0x0037, subject).Long(0x340D, 0x00040000).Long(0x3FDE, 65001);
  m.props.Time(0x0039, FileTime(2026, 2, 20, 8, 0, 0)).Unicode(0x1035, "<meeting@mailvane.example.com>");
  if (answer) {
    msg_fixture::SetSmtpSender(m.props, "Marek Novák", "marek@example.org");
    m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Dana Whitfield", "dana@example.com"));
    m.props.Time(f.Id(kMeeting, 0x0001), FileTime(2026, 2, 21, 9, 30, 0));
  } else {
    msg_fixture::SetSmtpSender(m.props, "Dana Whitfield", "dana@example.com");
    m.recipients.push_back(msg_fixture::SmtpRecipient(1, "Marek Novák", "marek@example.org"));
    m.recipients.push_back(msg_fixture::SmtpRecipient(2, "Ирина", "irina@example.net"));
    m.recipients.push_back(msg_fixture::SmtpRecipient(3, "Room 4.12", "room412@example.com"));
    m.props.Time(f.Id(kMeeting, 0x001A), FileTime(2026, 2, 20, 7, 59, 0));
  }
  m.props.Unicode(0x1000, "Agenda:\r\n1. Budget, staffing; travel\r\n2. Anything else\r\n");
  std::vector<uint8_t> goid = {0x04, 0x00, 0x00, 0x00, 0x82, 0x00, 0xE0, 0x00,
                               0x74, 0xC5, 0xB7, 0x10, 0x1A, 0x82, 0xE0, 0x08};
  goid.insert(goid.end(), occurrence.begin(), occurrence.end());
  goid.resize(36, 0);
  goid.insert(goid.end(), {16, 0, 0, 0});
  for (int i = 0; i < 16; ++i) goid.push_back(static_cast<uint8_t>(0x30 + i * 7));
  m.props.Binary(f.Id(kMeeting, 0x0003), goid);
  return f;
}

struct Case {
  std::string name;
  FixtureMessage message;
  std::string expected;  // check_calendar.py's JSON; empty: no calendar part
};

std::string Attendees(bool answer, const char* partstat = "NEEDS-ACTION") {
  if (answer) return std::string("[[\"marek@example.org\", null, \"") + partstat + "\"]]";
  return "[[\"marek@example.org\", \"REQ-PARTICIPANT\", \"NEEDS-ACTION\"], "
         "[\"irina@example.net\", \"OPT-PARTICIPANT\", \"NEEDS-ACTION\"], "
         "[\"room412@example.com\", \"NON-PARTICIPANT\", \"NEEDS-ACTION\"]]";
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const std::string long_subject =
      "Quarterly planning: Q2 roadmap, budget; staffing \xE2\x80\x94 \xC3\x9C" "berblick f\xC3\xBCr alle Teams "
      "(\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x82\xAA\xE3\x83\x95\xE3\x82\xA3\xE3\x82\xB9)";
  {
    // One meeting in Tokyo (no daylight saving); text that needs escaping and folding.
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", long_subject);
    f.Zone(kTokyo, "Tokyo Standard Time", false);
    f.Times(FileTime(2026, 3, 18, 1, 0, 0), FileTime(2026, 3, 18, 2, 30, 0));
    f.m.props.Unicode(f.Id(kAppointment, 0x8208), "Room 4.12; Building B, 2nd floor");
    f.m.props.Long(f.Id(kAppointment, 0x8201), 0);
    cases.push_back({"single", f.m,
                     "{\"method\": \"REQUEST\", \"summary\": " + JsonString(long_subject) +
                         ", \"location\": \"Room 4.12; Building B, 2nd floor\", \"status\": \"CONFIRMED\", "
                         "\"start\": \"2026-03-18T01:00:00Z\", \"end\": \"2026-03-18T02:30:00Z\", "
                         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
                         ", \"rule\": null, \"occurrences\": [\"2026-03-18T01:00:00Z\"]}"});
    // The same meeting called off, its times only in PidTagStartDate and PidTagEndDate.
    MeetingFixture c = Meeting("IPM.Schedule.Meeting.Canceled", "Canceled: Planning");
    c.Zone(kTokyo, "Tokyo Standard Time", false);
    c.m.props.Time(0x0060, FileTime(2026, 3, 18, 1, 0, 0)).Time(0x0061, FileTime(2026, 3, 18, 2, 30, 0));
    c.m.props.Long(c.Id(kAppointment, 0x8201), 1);
    cases.push_back({"canceled", c.m,
                     "{\"method\": \"CANCEL\", \"summary\": \"Canceled: Planning\", \"status\": \"CANCELLED\", "
                     "\"start\": \"2026-03-18T01:00:00Z\", \"end\": \"2026-03-18T02:30:00Z\", "
                     "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
                     ", \"rule\": null, \"occurrences\": [\"2026-03-18T01:00:00Z\"]}"});
    // Marek accepts.
    MeetingFixture a = Meeting("IPM.Schedule.Meeting.Resp.Pos", "Accepted: Planning", true);
    a.Zone(kTokyo, "Tokyo Standard Time", false);
    a.Times(FileTime(2026, 3, 18, 1, 0, 0), FileTime(2026, 3, 18, 2, 30, 0));
    cases.push_back({"accepted", a.m,
                     "{\"method\": \"REPLY\", \"summary\": \"Accepted: Planning\", "
                     "\"start\": \"2026-03-18T01:00:00Z\", \"end\": \"2026-03-18T02:30:00Z\", "
                     "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(true, "ACCEPTED") +
                     ", \"rule\": null, \"occurrences\": [\"2026-03-18T01:00:00Z\"]}"});
  }
  {
    // All day on 1 May in Tokyo: midnight to midnight local.
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "Holiday");
    f.Zone(kTokyo, "Tokyo Standard Time", false);
    f.Times(FileTime(2026, 4, 30, 15, 0, 0), FileTime(2026, 5, 1, 15, 0, 0));
    f.m.props.Bool(f.Id(kAppointment, 0x8215), true);
    cases.push_back({"all_day", f.m,
                     "{\"method\": \"REQUEST\", \"summary\": \"Holiday\", \"status\": \"CONFIRMED\", "
                     "\"start\": \"2026-05-01\", \"end\": \"2026-05-02\", \"organizer\": \"dana@example.com\", "
                     "\"attendees\": " + Attendees(false) + ", \"rule\": null, \"occurrences\": [\"2026-05-01\"]}"});
  }
  {
    // Summer time in California, from a definition with two rules (2006, 2007).
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "West coast review");
    f.Zone(UsZone(480), "Pacific Standard Time", false);
    f.Times(FileTime(2026, 7, 15, 16, 0, 0), FileTime(2026, 7, 15, 17, 30, 0));
    cases.push_back({"daylight_saving", f.m,
                     "{\"method\": \"REQUEST\", \"summary\": \"West coast review\", \"status\": \"CONFIRMED\", "
                     "\"start\": \"2026-07-15T16:00:00Z\", \"end\": \"2026-07-15T17:30:00Z\", "
                     "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
                     ", \"rule\": null, \"occurrences\": [\"2026-07-15T16:00:00Z\"]}"});
  }
  FixtureRecurrence weekly;
  {
    // Tuesdays and Thursdays 14:00 in Berlin, ten times across the switch to
    // summer time; 10 March deleted, 19 March moved to Friday 20 March 16:00.
    weekly.frequency = 0x200B;
    weekly.pattern = 1;
    weekly.pattern_specific = {0x14};
    weekly.end_type = 0x2022;
    weekly.occurrence_count = 10;
    weekly.deleted = {Minutes1601(2026, 3, 10), Minutes1601(2026, 3, 19)};
    weekly.modified = {Minutes1601(2026, 3, 20)};
    weekly.start_date = Minutes1601(2026, 3, 3);
    weekly.end_date = Minutes1601(2026, 4, 2);
    weekly.start_offset = 14 * 60;
    weekly.end_offset = 15 * 60;
    weekly.exceptions = {{Minutes1601(2026, 3, 20, 16), Minutes1601(2026, 3, 20, 17), Minutes1601(2026, 3, 19, 14),
                          "Sync (moved to Friday)", "Caf\xC3\xA9 Europa"}};
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "Team sync");
    f.Zone(kBerlin, "W. Europe Standard Time", true);
    f.Times(FileTime(2026, 3, 3, 13, 0, 0), FileTime(2026, 3, 3, 14, 0, 0));
    f.m.props.Binary(f.Id(kAppointment, 0x8216), msg_fixture::RecurrenceBlob(weekly));
    f.m.props.Unicode(f.Id(kAppointment, 0x8208), "Room 2");
    cases.push_back(
        {"weekly", f.m,
         "{\"method\": \"REQUEST\", \"summary\": \"Team sync\", \"location\": \"Room 2\", \"status\": \"CONFIRMED\", "
         "\"start\": \"2026-03-03T13:00:00Z\", \"end\": \"2026-03-03T14:00:00Z\", "
         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
             ", \"rule\": \"FREQ=WEEKLY;INTERVAL=1;BYDAY=TU,TH;WKST=MO;COUNT=10\", \"occurrences\": ["
             "\"2026-03-03T13:00:00Z\", \"2026-03-05T13:00:00Z\", \"2026-03-12T13:00:00Z\", \"2026-03-17T13:00:00Z\", "
             "\"2026-03-20T15:00:00Z\", \"2026-03-24T13:00:00Z\", \"2026-03-26T13:00:00Z\", \"2026-03-31T12:00:00Z\", "
             "\"2026-04-02T12:00:00Z\"], \"exceptions\": {\"2026-03-19T13:00:00Z\": {\"start\": "
             "\"2026-03-20T15:00:00Z\", \"end\": \"2026-03-20T16:00:00Z\", \"summary\": \"Sync (moved to Friday)\", "
             "\"location\": \"Caf\xC3\xA9 Europa\"}}}"});
    // One occurrence of it changed: the request names the occurrence it replaces.
    MeetingFixture one = Meeting("IPM.Schedule.Meeting.Request", "Team sync (moved)", false, {0x07, 0xEA, 3, 19});
    one.Zone(kBerlin, "W. Europe Standard Time", false);
    one.Times(FileTime(2026, 3, 20, 15, 0, 0), FileTime(2026, 3, 20, 16, 0, 0));
    one.m.props.Time(one.Id(kAppointment, 0x8228), FileTime(2026, 3, 19, 13, 0, 0));
    cases.push_back(
        {"one_occurrence", one.m,
         "{\"method\": \"REQUEST\", \"summary\": \"Team sync (moved)\", \"status\": \"CONFIRMED\", "
         "\"start\": \"2026-03-20T15:00:00Z\", \"end\": \"2026-03-20T16:00:00Z\", "
         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
             ", \"rule\": null, \"occurrences\": [\"2026-03-20T15:00:00Z\"], "
             "\"recurrence_id\": \"2026-03-19T13:00:00Z\"}"});
    // A pattern whose deleted-date count runs past the blob: no calendar, the
    // message still converts.
    FixtureRecurrence lying = weekly;
    lying.deleted.assign(3, Minutes1601(2026, 3, 10));
    std::vector<uint8_t> blob = msg_fixture::RecurrenceBlob(lying);
    blob[22 + 4 * lying.pattern_specific.size() + 12] = 0xFF;  // DeletedInstanceCount 3 -> 255
    MeetingFixture bad = Meeting("IPM.Schedule.Meeting.Request", "Team sync");
    bad.Zone(kBerlin, "W. Europe Standard Time", true);
    bad.Times(FileTime(2026, 3, 3, 13, 0, 0), FileTime(2026, 3, 3, 14, 0, 0));
    bad.m.props.Binary(bad.Id(kAppointment, 0x8216), blob);
    cases.push_back({"lying_pattern", bad.m, ""});
  }
  {
    // The last weekday of each month, 09:00 New York, until 30 June.
    FixtureRecurrence r;
    r.frequency = 0x200C;
    r.pattern = 3;
    r.pattern_specific = {0x3E, 5};
    r.end_type = 0x2021;
    r.start_date = Minutes1601(2026, 1, 30);
    r.end_date = Minutes1601(2026, 6, 30);
    r.start_offset = 9 * 60;
    r.end_offset = 9 * 60 + 30;
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "Month-end close");
    f.Zone(UsZone(300), "Eastern Standard Time", true);
    f.Times(FileTime(2026, 1, 30, 14, 0, 0), FileTime(2026, 1, 30, 14, 30, 0));
    f.m.props.Binary(f.Id(kAppointment, 0x8216), msg_fixture::RecurrenceBlob(r));
    cases.push_back(
        {"monthly_last_weekday", f.m,
         "{\"method\": \"REQUEST\", \"summary\": \"Month-end close\", \"status\": \"CONFIRMED\", "
         "\"start\": \"2026-01-30T14:00:00Z\", \"end\": \"2026-01-30T14:30:00Z\", "
         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
             ", \"rule\": \"FREQ=MONTHLY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1;UNTIL=20260630T130000Z\", "
             "\"occurrences\": [\"2026-01-30T14:00:00Z\", \"2026-02-27T14:00:00Z\", \"2026-03-31T13:00:00Z\", "
             "\"2026-04-30T13:00:00Z\", \"2026-05-29T13:00:00Z\", \"2026-06-30T13:00:00Z\"]}"});
  }
  {
    // The 15th of each month, 10:00 New York, from September 2006 into April
    // 2007: the zone's 2007 rule moves the March occurrence into summer time.
    // Marek's name is stored with his address, Irina's is her address.
    FixtureRecurrence r;
    r.frequency = 0x200C;
    r.pattern = 2;
    r.pattern_specific = {15};
    r.end_type = 0x2021;
    r.start_date = Minutes1601(2006, 9, 15);
    r.end_date = Minutes1601(2007, 4, 15);
    r.start_offset = 10 * 60;
    r.end_offset = 11 * 60;
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "Across the 2007 rule");
    f.m.recipients[0] = msg_fixture::SmtpRecipient(1, "Marek Novák <marek@example.org>", "marek@example.org");
    f.m.recipients[1] = msg_fixture::SmtpRecipient(2, "irina@example.net", "irina@example.net");
    f.Zone(UsZone(300), "Eastern Standard Time", true);
    f.Times(FileTime(2006, 9, 15, 14, 0, 0), FileTime(2006, 9, 15, 15, 0, 0));
    f.m.props.Binary(f.Id(kAppointment, 0x8216), msg_fixture::RecurrenceBlob(r));
    cases.push_back(
        {"across_zone_rules", f.m,
         "{\"method\": \"REQUEST\", \"summary\": \"Across the 2007 rule\", \"status\": \"CONFIRMED\", "
         "\"start\": \"2006-09-15T14:00:00Z\", \"end\": \"2006-09-15T15:00:00Z\", "
         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
             ", \"rule\": \"FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=15;UNTIL=20070415T140000Z\", "
             "\"occurrences\": [\"2006-09-15T14:00:00Z\", \"2006-10-15T14:00:00Z\", \"2006-11-15T15:00:00Z\", "
             "\"2006-12-15T15:00:00Z\", \"2007-01-15T15:00:00Z\", \"2007-02-15T15:00:00Z\", "
             "\"2007-03-15T14:00:00Z\", \"2007-04-15T14:00:00Z\"], "
             "\"names\": {\"dana@example.com\": \"Dana Whitfield\", \"marek@example.org\": \"Marek Nov\xC3\xA1k\", "
             "\"irina@example.net\": null, \"room412@example.com\": \"Room 4.12\"}}"});
  }
  {
    // Moscow kept summer time all year from 2011 (+4): a series from November
    // 2010 needs the 2010 rule and the one without daylight saving.
    const std::vector<FixtureZoneRule> moscow = {{2010, -180, 0, -60, {0, 10, 0, 5, 3, 0}, {0, 3, 0, 5, 2, 0}},
                                                 {2011, -240, 0, 0, {}, {}}};
    FixtureRecurrence r;
    r.frequency = 0x200C;
    r.pattern = 2;
    r.pattern_specific = {15};
    r.end_type = 0x2022;
    r.occurrence_count = 4;
    r.start_date = Minutes1601(2010, 11, 15);
    r.end_date = Minutes1601(2011, 2, 15);
    r.start_offset = 10 * 60;
    r.end_offset = 11 * 60;
    MeetingFixture f = Meeting("IPM.Schedule.Meeting.Request", "Moscow monthly");
    f.Zone(moscow, "Russian Standard Time", true);
    f.Times(FileTime(2010, 11, 15, 7, 0, 0), FileTime(2010, 11, 15, 8, 0, 0));
    f.m.props.Binary(f.Id(kAppointment, 0x8216), msg_fixture::RecurrenceBlob(r));
    cases.push_back(
        {"into_a_zone_without_daylight_saving", f.m,
         "{\"method\": \"REQUEST\", \"summary\": \"Moscow monthly\", \"status\": \"CONFIRMED\", "
         "\"start\": \"2010-11-15T07:00:00Z\", \"end\": \"2010-11-15T08:00:00Z\", "
         "\"organizer\": \"dana@example.com\", \"attendees\": " + Attendees(false) +
             ", \"rule\": \"FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=15;COUNT=4\", "
             "\"occurrences\": [\"2010-11-15T07:00:00Z\", \"2010-12-15T07:00:00Z\", \"2011-01-15T06:00:00Z\", "
             "\"2011-02-15T06:00:00Z\"]}"});
  }
  return cases;
}

std::string WriteFixture(const TempDir& dir, const std::string& name, const FixtureMessage& m) {
  const std::string path = dir.path() + "/" + name + ".msg";
  const auto image = msg_fixture::WriteMsg(m);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.bytes.data()),
                                              static_cast<std::streamsize>(image.bytes.size()));
  return path;
}

std::string RunPython(const std::string& script, const std::string& eml, const std::string& json,
                      const std::string& extra = "") {
  const std::string out = json + ".out";
  const std::string cmd = std::string(PYTHON_EXECUTABLE) + " '" + script + "' '" + eml + "' '" + json + "' " + extra +
                          " > '" + out + "' 2>&1";
  const int rc = std::system(cmd.c_str());
  std::ifstream in(out);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  return rc == 0 ? text : "failed: " + text;
}

TEST(MeetingTest, CalendarPartsReadBackAsTheFixturesSay) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    TempDir in, out, scratch;
    const std::string msg_path = WriteFixture(in, c.name, c.message);
    const tool_test::ToolResult r = tool_test::RunTool({msg_path, out.path()});
    ASSERT_EQ(r.output, "");
    const std::set<std::string> names = tool_test::ListDir(out.path());
    ASSERT_EQ(names.size(), 1u);
    const std::string eml = out.path() + "/" + *names.begin();

    std::ifstream file(msg_path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    auto compound = formats::cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(compound.ok());
    auto m = formats::msg::ReadMessage(*compound);
    ASSERT_TRUE(m.ok());
    int counter = 0;
    EXPECT_EQ(tool_test::CheckEml(eml, tool_test::Expectation(*m, scratch.path(), counter), scratch.path()), "");
    if (c.expected.empty()) {
      EXPECT_FALSE(m->meeting.has_value());
      ASSERT_EQ(m->warnings.size(), 1u);
      EXPECT_EQ(m->warnings[0].rfind("recurrence pattern does not parse", 0), 0u) << m->warnings[0];
      continue;
    }
    EXPECT_TRUE(m->warnings.empty()) << m->warnings[0];
    const std::string json = scratch.path() + "/calendar.json";
    std::ofstream(json) << c.expected;
    const char* show = std::getenv("MAILVANE_SHOW_CALENDAR");
    const std::string result = RunPython(CHECK_CALENDAR, eml, json, show ? "--show" : "");
    EXPECT_EQ(result.rfind("failed", 0), std::string::npos) << result;
    if (show) std::cout << "== " << c.name << "\n" << result;
  }
}

}  // namespace
