// The calendar blobs of meeting items: the recurrence pattern and the time-zone
// definitions, from the format's own example, from real files, and broken.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "formats/cfb/compound_file.h"
#include "formats/common/civil_time.h"
#include "formats/common/limits.h"
#include "formats/msg/reader.h"
#include "formats/msg/recurrence.h"
#include "formats/msg/timezone.h"
#include "tools/msg_fixture/msg_writer.h"

namespace formats::msg {
namespace {

const uint32_t kCp1252[] = {1252};

int64_t Local(int year, int month, int day, int hour = 0, int minute = 0) {
  return SecondsFromCivil({year, month, day, hour, minute, 0});
}

std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

// The example of [MS-OXOCAL] 4.1.1.2: Mondays, Thursdays and Fridays 10:00 to
// 10:30, twelve times, one occurrence moved to 11:00 with a new subject and location.
TEST(RecurrenceTest, ReadsTheFormatsOwnExample) {
  const std::vector<uint8_t> blob = FromHex(
      "043004300B2001000000C0210000010000000000000032000000222000000C0000000000000001000000A096BC0C01000000A096BC0C"
      "8020BC0C20ADBC0C0630000009300000580200007602000001003499BC0C5299BC0CF898BC0C11002200210053696D706C652052656375"
      "7272656E6365207769746820657863657074696F6E730800070033342F34313431000000000400000000000000000000003499BC0C5299"
      "BC0CF898BC0C2100530069006D0070006C006500200052006500630075007200720065006E006300650020007700690074006800200065"
      "007800630065007000740069006F006E0073000700330034002F0034003100340031000000000000000000");
  Result<Recurrence> r = ParseRecurrence(blob, kCp1252);
  ASSERT_TRUE(r.ok()) << r.error().detail;
  EXPECT_EQ(r->frequency, Recurrence::Frequency::kWeekly);
  EXPECT_EQ(r->day_mask, 0x32u);
  EXPECT_EQ(r->end, Recurrence::End::kCount);
  EXPECT_EQ(r->occurrence_count, 12u);
  EXPECT_EQ(r->start_date, Local(2007, 3, 26));
  EXPECT_EQ(r->deleted_dates, std::vector<int64_t>{Local(2007, 4, 16)});
  EXPECT_EQ(r->start_minutes, 600);
  EXPECT_EQ(r->end_minutes, 630);
  ASSERT_EQ(r->exceptions.size(), 1u);
  const RecurrenceException& e = r->exceptions[0];
  EXPECT_EQ(e.start, Local(2007, 4, 16, 11));
  EXPECT_EQ(e.end, Local(2007, 4, 16, 11, 30));
  EXPECT_EQ(e.original_start, Local(2007, 4, 16, 10));
  EXPECT_EQ(e.subject.value_or(""), "Simple Recurrence with exceptions");
  EXPECT_EQ(e.location.value_or(""), "34/4141");
}

msg_fixture::FixtureRecurrence Weekly() {
  msg_fixture::FixtureRecurrence f;
  f.pattern_specific = {0x14};
  f.deleted = {msg_fixture::Minutes1601(2026, 3, 19)};
  f.modified = {msg_fixture::Minutes1601(2026, 3, 20)};
  f.start_date = msg_fixture::Minutes1601(2026, 3, 3);
  f.start_offset = 840;
  f.end_offset = 900;
  f.exceptions = {{msg_fixture::Minutes1601(2026, 3, 20, 16), msg_fixture::Minutes1601(2026, 3, 20, 17),
                   msg_fixture::Minutes1601(2026, 3, 19, 14), "Caf\xC3\xA9", ""}};
  return f;
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(RecurrenceTest, PatternsThatLieAreRefused) {
  // Offsets in Weekly(): the day mask at 22, end type 26, deleted count 38,
  // start time offset 70, exception count 78, the exception's end 84.
  struct Row {
    const char* fault;
    std::function<void(std::vector<uint8_t>&)> change;
    ErrorCode code;
  } rows[] = {
      {"unknown reader version", [](auto& b) { b[0] = 0x05; }, ErrorCode::kBadProperty},
      {"frequency below daily", [](auto& b) { b[4] = 0x09; }, ErrorCode::kBadProperty},
      {"monthly frequency with a week pattern", [](auto& b) { b[4] = 0x0C; }, ErrorCode::kBadProperty},
      {"Hijri pattern", [](auto& b) { b[6] = 0x0A; }, ErrorCode::kUnsupported},
      {"Hebrew calendar", [](auto& b) { b[8] = 8; }, ErrorCode::kUnsupported},
      {"period 0", [](auto& b) { b[14] = 0; }, ErrorCode::kBadProperty},
      {"no weekday", [](auto& b) { b[22] = 0; }, ErrorCode::kBadProperty},
      {"unknown end type", [](auto& b) { b[26] = 0x24; }, ErrorCode::kBadProperty},
      {"more deleted dates than the limit", [](auto& b) { Put32(b, 38, limits::kMaxRecurrenceExceptions + 1); },
       ErrorCode::kLimitExceeded},
      {"more deleted dates than bytes", [](auto& b) { Put32(b, 38, 1000); }, ErrorCode::kTruncated},
      {"start time past midnight", [](auto& b) { Put32(b, 70, 1440); }, ErrorCode::kBadProperty},
      {"exceptions not matching the changed dates", [](auto& b) { b[78] = 2; }, ErrorCode::kBadProperty},
      {"changed occurrence ending before its start", [](auto& b) { Put32(b, 84, 0); }, ErrorCode::kBadProperty},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    std::vector<uint8_t> blob = msg_fixture::RecurrenceBlob(Weekly());
    ASSERT_TRUE(ParseRecurrence(blob, kCp1252).ok());
    r.change(blob);
    Result<Recurrence> parsed = ParseRecurrence(blob, kCp1252);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error().code, r.code) << parsed.error().detail;
  }
}

TEST(RecurrenceTest, EveryTruncationFailsOrLosesOnlyTheUnicodeTexts) {
  const std::vector<uint8_t> blob = msg_fixture::RecurrenceBlob(Weekly());
  Result<Recurrence> whole = ParseRecurrence(blob, kCp1252);
  ASSERT_TRUE(whole.ok());
  EXPECT_EQ(whole->exceptions[0].subject.value_or(""), "Caf\xC3\xA9");  // the Unicode form
  bool any_ok = false;
  for (size_t n = 0; n < blob.size(); ++n) {
    Result<Recurrence> cut = ParseRecurrence(Bytes(blob.data(), n), kCp1252);
    if (!cut.ok()) {
      EXPECT_FALSE(any_ok) << "a shorter prefix parsed, a longer one not: " << n;
      continue;
    }
    any_ok = true;
    // Cut in the extended exceptions: the 8-bit subject, read as Windows-1252;
    // cut only in the trailing reserved block's size: the Unicode one.
    EXPECT_EQ(cut->exceptions[0].subject.value_or(""), n < blob.size() - 4 ? "Caf\xC3\x83\xC2\xA9" : "Caf\xC3\xA9")
        << n;
  }
  EXPECT_TRUE(any_ok);
}

const std::vector<msg_fixture::FixtureZoneRule> kUs = {
    {2006, 300, 0, -60, {0, 10, 0, 5, 2, 0}, {0, 4, 0, 1, 2, 0}},
    {2007, 300, 0, -60, {0, 11, 0, 1, 2, 0}, {0, 3, 0, 2, 2, 0}}};

TEST(TimeZoneTest, ConvertsWithTheRuleOfTheYear) {
  Result<TimeZone> berlin = ParseTimeZoneDefinition(msg_fixture::TimeZoneDefinition(
      "W. Europe Standard Time", {{1601, -60, 0, -60, {0, 10, 0, 5, 3, 0}, {0, 3, 0, 5, 2, 0}}}));
  Result<TimeZone> us = ParseTimeZoneDefinition(msg_fixture::TimeZoneDefinition("Eastern Standard Time", kUs));
  Result<TimeZone> sydney = ParseTimeZoneDefinition(msg_fixture::TimeZoneDefinition(
      "AUS Eastern Standard Time", {{1601, -600, 0, -60, {0, 4, 0, 1, 3, 0}, {0, 10, 0, 1, 2, 0}}}));
  ASSERT_TRUE(berlin.ok() && us.ok() && sydney.ok());
  EXPECT_EQ(berlin->key_name, "W. Europe Standard Time");
  struct Row {
    const char* fault;
    const TimeZone& zone;
    int64_t utc, local;
  } rows[] = {
      {"winter", *berlin, Local(2026, 1, 10, 9), Local(2026, 1, 10, 10)},
      {"the second before the switch", *berlin, Local(2026, 3, 29, 0, 59), Local(2026, 3, 29, 1, 59)},
      {"the switch to summer time", *berlin, Local(2026, 3, 29, 1), Local(2026, 3, 29, 3)},
      {"back to winter time", *berlin, Local(2026, 10, 25, 2), Local(2026, 10, 25, 3)},
      {"2006 rule: no summer time on 20 March", *us, Local(2006, 3, 20, 17), Local(2006, 3, 20, 12)},
      {"2007 rule onwards: summer time on 20 March", *us, Local(2026, 3, 20, 16), Local(2026, 3, 20, 12)},
      {"southern summer spans the new year", *sydney, Local(2026, 1, 15), Local(2026, 1, 15, 11)},
      {"southern winter", *sydney, Local(2026, 7, 15), Local(2026, 7, 15, 10)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    EXPECT_EQ(r.zone.UtcToLocal(r.utc), r.local);
    EXPECT_EQ(r.zone.LocalToUtc(r.local), r.utc);
  }
}

TEST(TimeZoneTest, DefinitionsThatLieAreRefused) {
  const std::vector<uint8_t> valid = msg_fixture::TimeZoneDefinition("Eastern Standard Time", kUs);
  const size_t rules = 8 + 2 * 21 + 2;  // first rule after the header, the name and the count
  struct Row {
    const char* fault;
    std::function<void(std::vector<uint8_t>&)> change;
    ErrorCode code;
  } rows[] = {
      {"unknown version", [](auto& b) { b[0] = 1; }, ErrorCode::kBadProperty},
      {"header size not matching the name", [](auto& b) { b[2] += 2; }, ErrorCode::kBadProperty},
      {"name longer than the blob", [](auto& b) { b[6] = 0xFF; }, ErrorCode::kTruncated},
      {"no rules", [&](auto& b) { b[rules - 2] = 0; }, ErrorCode::kBadProperty},
      {"more rules than the limit", [&](auto& b) { b[rules - 2] = 1; b[rules - 1] = 4; }, ErrorCode::kLimitExceeded},
      {"more rules than bytes", [&](auto& b) { b[rules - 2] = 3; }, ErrorCode::kTruncated},
      {"rule of an unknown version", [&](auto& b) { b[rules] = 3; }, ErrorCode::kBadProperty},
      {"bias beyond a day", [&](auto& b) { b[rules + 22] = 0xFF; b[rules + 23] = 0x7F; }, ErrorCode::kBadProperty},
      {"month 13", [&](auto& b) { b[rules + 36] = 13; }, ErrorCode::kBadProperty},
      {"sixth week", [&](auto& b) { b[rules + 40] = 6; }, ErrorCode::kBadProperty},
      {"rules out of year order", [&](auto& b) { b[rules + 66 + 6] = 0x00; }, ErrorCode::kBadProperty},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.fault);
    std::vector<uint8_t> blob = valid;
    r.change(blob);
    Result<TimeZone> parsed = ParseTimeZoneDefinition(blob);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error().code, r.code) << parsed.error().detail;
  }
  for (size_t n = 0; n < valid.size(); ++n) {
    EXPECT_FALSE(ParseTimeZoneDefinition(Bytes(valid.data(), n)).ok()) << n;
  }
}

Result<Message> ReadCorpus(const std::string& name) {
  std::ifstream in(std::string(CORPUS_DIR) + "/msgreader-js/" + name, std::ios::binary);
  static std::vector<uint8_t> bytes;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  static std::optional<cfb::CompoundFile> file;
  Result<cfb::CompoundFile> opened = cfb::CompoundFile::Open(bytes);
  if (!opened) return std::move(opened).error();
  file.emplace(std::move(*opened));
  return ReadMessage(*file);
}

// Appointments saved by Outlook: a weekly lunch with one occurrence deleted and
// one moved to Monday under a new subject, and a zone with two rules.
TEST(CalendarCorpusTest, OutlookBlobsRead) {
  Result<Message> lunch = ReadCorpus("Friday Lunch.msg");
  ASSERT_TRUE(lunch.ok());
  ASSERT_TRUE(lunch->meeting && lunch->meeting->recurrence && lunch->meeting->recurrence_zone);
  const Recurrence& r = *lunch->meeting->recurrence;
  EXPECT_EQ(r.frequency, Recurrence::Frequency::kWeekly);
  EXPECT_EQ(r.day_mask, 0x20u);
  EXPECT_EQ(r.start_minutes, 12 * 60);
  EXPECT_EQ(r.deleted_dates.size(), 3u);
  ASSERT_EQ(r.exceptions.size(), 2u);
  EXPECT_EQ(r.exceptions[0].start, Local(2023, 1, 9, 12));
  EXPECT_EQ(r.exceptions[0].original_start, Local(2023, 1, 13, 12));
  EXPECT_EQ(r.exceptions[0].subject.value_or(""), "Monday Lunch");
  EXPECT_EQ(lunch->meeting->recurrence_zone->key_name, "Tokyo Standard Time");

  Result<Message> est = ReadCorpus("Appointment sample EST.msg");
  ASSERT_TRUE(est.ok());
  ASSERT_TRUE(est->meeting && est->meeting->start_zone && est->meeting->end_zone);
  EXPECT_FALSE(est->meeting->recurrence);
  EXPECT_EQ(est->meeting->end_zone->rules.size(), 2u);
  EXPECT_EQ(est->meeting->start_zone->UtcToLocal(static_cast<int64_t>(*est->meeting->start / 10000000) - kSeconds1601To1970), Local(2022, 12, 4, 8));
}

}  // namespace
}  // namespace formats::msg
