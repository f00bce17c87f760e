// Writing iCalendar (RFC 5545) text: content lines folded at 75 octets and ended
// in CR LF, TEXT values escaped, parameter values quoted where they must be, and
// the DATE, DATE-TIME and UTC-OFFSET forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/common/civil_time.h"

namespace formats::ical {

// A property parameter: name and value as it should read (quoted here if needed).
using Parameter = std::pair<std::string, std::string>;

// Collects content lines into one iCalendar object.
class Writer {
 public:
  // "NAME;P=V:value": `value` goes out as given (for values of types whose text
  // needs no escaping: dates, numbers, recurrence rules, URIs).
  void Raw(std::string_view name, const std::vector<Parameter>& params, std::string_view value);
  void Raw(std::string_view name, std::string_view value) { Raw(name, {}, value); }
  // A TEXT value, escaped.
  void Text(std::string_view name, std::string_view text) { Raw(name, {}, EscapeText(text)); }
  void Begin(std::string_view component) { Raw("BEGIN", component); }
  void End(std::string_view component) { Raw("END", component); }

  const std::string& text() const { return text_; }
  std::string Take() { return std::move(text_); }

  // TEXT escaping: backslash, semicolon and comma get a backslash, line breaks
  // (CR LF, CR or LF) become \n, other control characters are dropped.
  static std::string EscapeText(std::string_view text);
  // A parameter value: control characters and double quotes dropped, and the
  // whole put in double quotes when it holds ':', ';' or ','.
  static std::string ParameterValue(std::string_view value);
  // The line (without its CR LF) folded so that no line exceeds 75 octets: each
  // continuation starts with one blank, and no UTF-8 sequence is split.
  static std::string Fold(std::string_view line);

 private:
  std::string text_;
};

// "19970714" and "19970714T133000" (a local or floating time).
std::string FormatDate(const CivilTime& t);
std::string FormatDateTime(const CivilTime& t);
// "19970714T173000Z" for Unix seconds.
std::string FormatUtc(int64_t unix_seconds);
// "+0530", "-0800" for an offset east of UTC in minutes.
std::string FormatUtcOffset(int minutes);

}  // namespace formats::ical
