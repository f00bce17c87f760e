#include "archive_converter/report.h"

namespace archive_converter {

namespace {

void AppendField(std::string& line, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    line += field;
    return;
  }
  line += '"';
  for (const char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

}  // namespace

std::string CsvField(std::string_view field) {
  std::string text;
  AppendField(text, field);
  return text;
}

std::string CsvRow(const ReportRow& row) {
  std::string line;
  AppendField(line, row.source);
  line += ',';
  AppendField(line, row.result);
  line += ',';
  line += row.status;
  line += ',';
  AppendField(line, row.reason);
  line += ',' + std::to_string(row.input_bytes) + ',' + std::to_string(row.milliseconds) + "\r\n";
  return line;
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view text, size_t& complete_size) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  complete_size = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      // A quoted field: doubled quotes stand for one; it ends at a lone quote.
      ++i;
      for (;;) {
        if (i >= text.size()) return records;  // cut off inside the quotes
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
    }
    while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') field += text[i++];
    if (i >= text.size()) break;  // a record without its line end
    record.push_back(std::move(field));
    field.clear();
    if (text[i] == ',') {
      ++i;
      continue;
    }
    if (text[i] == '\r' && ++i >= text.size()) break;  // cut off between CR and LF
    if (i < text.size() && text[i] == '\n') ++i;
    records.push_back(std::move(record));
    record.clear();
    complete_size = i;
  }
  return records;
}

}  // namespace archive_converter
