// The report: a CSV file (RFC 4180 quoting, CR LF line ends, UTF-8) with one
// row per source, and its reading back for --resume.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace archive_converter {

inline constexpr char kReportHeader[] = "source,result,status,reason,input_bytes,milliseconds\r\n";

struct ReportRow {
  std::string source;
  std::string result;  // empty unless converted
  std::string status;  // converted, refused or failed
  std::string reason;
  uint64_t input_bytes = 0;
  uint64_t milliseconds = 0;
};

// One field, in double quotes when it holds a comma, quote, CR or LF.
std::string CsvField(std::string_view field);

// One row as CSV text with its line end.
std::string CsvRow(const ReportRow& row);

// The complete records of `text` (the header included), each a list of fields.
// `complete_size` is where the last complete record ends: text after it is a row
// whose writing was cut off.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text, size_t& complete_size);

}  // namespace archive_converter
