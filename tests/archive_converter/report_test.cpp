// The report's rows read back as written, a row cut off by an interruption
// left out; and the names results get.
#include "archive_converter/report.h"

#include <gtest/gtest.h>

#include "archive_converter/run.h"

namespace {

using archive_converter::ParseCsv;

TEST(Report, RowsReadBackAndCutOffRowsDropped) {
  const archive_converter::ReportRow row{"/in/a, \"b\"\n.msg", "/out/a.eml", "refused", "Item is not (IPM.Contact)",
                                         12, 3};
  const std::string text = archive_converter::kReportHeader + archive_converter::CsvRow(row);
  size_t complete = 0;
  const auto records = ParseCsv(text, complete);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(complete, text.size());
  EXPECT_EQ(records[1], (std::vector<std::string>{row.source, row.result, "refused", row.reason, "12", "3"}));
  // Every cut inside the row leaves the header alone.
  const size_t header = std::string(archive_converter::kReportHeader).size();
  for (size_t cut = header; cut < text.size(); ++cut) {
    const auto partial = ParseCsv(text.substr(0, cut), complete);
    EXPECT_EQ(partial.size(), 1u) << "cut at " << cut;
    EXPECT_EQ(complete, header) << "cut at " << cut;
  }
}

TEST(Report, ResultNames) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"a.msg", 1, "a.eml"},
      {"a.MSG", 3, "a (3).eml"},
      {"v1.2 report.msg", 2, "v1.2 report (2).eml"},
      {".msg", 1, ".msg.eml"},  // a name that is all extension keeps it
      {"Отчёт 報告.msg", 2, "Отчёт 報告 (2).eml"},
  };
  for (const auto& [name, attempt, expected] : cases) {
    EXPECT_EQ(archive_converter::ResultName(name, attempt), expected);
  }
}

}  // namespace
