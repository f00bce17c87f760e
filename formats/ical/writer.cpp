#include "formats/ical/writer.h"

#include <cstdio>
#include <cstdlib>

namespace formats::ical {

void Writer::Raw(std::string_view name, const std::vector<Parameter>& params, std::string_view value) {
  std::string line(name);
  for (const Parameter& p : params) {
    line += ';';
    line += p.first;
    line += '=';
    line += ParameterValue(p.second);
  }
  line += ':';
  line += value;
  text_ += Fold(line);
  text_ += "\r\n";
}

std::string Writer::EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
      case ';':
      case ',':
        out += '\\';
        out += c;
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += "\\n";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        // TEXT admits HTAB but no other control character (RFC 5545 3.3.11).
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) break;
        out += c;
    }
  }
  return out;
}

std::string Writer::ParameterValue(std::string_view value) {
  std::string out;
  bool quote = false;
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    // A quoted value cannot hold DQUOTE, and no value holds controls (RFC 5545 3.1).
    if ((u < 0x20 && c != '\t') || u == 0x7F || c == '"') continue;
    if (c == ':' || c == ';' || c == ',') quote = true;
    out += c;
  }
  return quote ? "\"" + out + "\"" : out;
}

std::string Writer::Fold(std::string_view line) {
  constexpr size_t kMaxOctets = 75;
  std::string out;
  out.reserve(line.size() + line.size() / 24);
  size_t pos = 0;
  bool first = true;
  while (pos < line.size()) {
    // A continuation line spends one octet on its leading blank.
    const size_t room = first ? kMaxOctets : kMaxOctets - 1;
    size_t end = pos + room;
    if (end >= line.size()) {
      end = line.size();
    } else {
      // Back up to the start of a UTF-8 sequence (never a 10xxxxxx byte).
      while (end > pos + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    }
    if (!first) out += "\r\n ";
    out.append(line.substr(pos, end - pos));
    pos = end;
    first = false;
  }
  return out;
}

std::string FormatDate(const CivilTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
  return buf;
}

std::string FormatDateTime(const CivilTime& t) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

std::string FormatUtc(int64_t unix_seconds) { return FormatDateTime(CivilFromSeconds(unix_seconds)) + "Z"; }

std::string FormatUtcOffset(int minutes) {
  char buf[16];
  const int m = std::abs(minutes);
  std::snprintf(buf, sizeof buf, "%c%02d%02d", minutes < 0 ? '-' : '+', m / 60 % 100, m % 60);
  return buf;
}

}  // namespace formats::ical
