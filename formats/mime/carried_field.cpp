#include "formats/mime/carried_field.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "formats/common/civil_time.h"
#include "formats/mime/header.h"
#include "formats/mime/header_block.h"

namespace formats::mime {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A byte that may not stand as it is in a header line.
bool NeedsEncoding(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c >= 0x7F || (c < 0x20 && c != '\t');
}

// Printable ASCII without the colon, short enough for "Name: " to leave room on
// the first line.
bool IsFieldName(std::string_view name) {
  if (name.empty() || name.size() > kFoldWidth - 2) return false;
  return std::all_of(name.begin(), name.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c > 0x20 && c < 0x7F && ch != ':';
  });
}

// End of the blank run at pos, and of the word after it.
size_t SkipBlanks(std::string_view s, size_t pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  return pos;
}
size_t SkipWord(std::string_view s, size_t pos) {
  while (pos < s.size() && !IsBlank(s[pos])) ++pos;
  return pos;
}

// The value with each run of words that cannot stand in a header replaced by
// encoded words. The blanks inside a run go into the encoded text: a reader drops
// the blanks between encoded words.
std::string EncodeUnsafeWords(std::string_view value) {
  auto unsafe = [](std::string_view word) { return std::any_of(word.begin(), word.end(), NeedsEncoding); };
  std::string out;
  size_t pos = 0;
  while (pos < value.size()) {
    const size_t word_start = SkipBlanks(value, pos);
    size_t end = SkipWord(value, word_start);
    out.append(value.substr(pos, word_start - pos));
    if (!unsafe(value.substr(word_start, end - word_start))) {
      out.append(value.substr(word_start, end - word_start));
      pos = end;
      continue;
    }
    while (true) {
      const size_t next_start = SkipBlanks(value, end);
      const size_t next_end = SkipWord(value, next_start);
      if (next_start == next_end || !unsafe(value.substr(next_start, next_end - next_start))) break;
      end = next_end;
    }
    const std::vector<std::string> words = EncodeWords(value.substr(word_start, end - word_start), WordContext::kText);
    for (size_t i = 0; i < words.size(); ++i) {
      if (i > 0) out += ' ';
      out += words[i];
    }
    pos = end;
  }
  return out;
}

// A cursor over a date-time that skips blanks, line ends and comments.
class DateCursor {
 public:
  explicit DateCursor(std::string_view text) : text_(text) {}

  // Skips white space and (nested) comments; false for an unclosed comment.
  bool SkipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos_;
      } else if (c == '(') {
        int depth = 0;
        for (; pos_ < text_.size(); ++pos_) {
          if (text_[pos_] == '\\') {
            ++pos_;
          } else if (text_[pos_] == '(') {
            ++depth;
          } else if (text_[pos_] == ')' && --depth == 0) {
            break;
          }
        }
        if (pos_ >= text_.size()) return false;
        ++pos_;
      } else {
        return true;
      }
    }
    return true;
  }
  bool AtEnd() { return SkipSpace() && pos_ == text_.size(); }
  bool Take(char c) {
    if (!SkipSpace() || pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  // A run of digits, at most max_digits long; nullopt when there is none.
  std::optional<std::pair<int, size_t>> Number(size_t max_digits) {
    if (!SkipSpace()) return std::nullopt;
    size_t n = 0;
    int value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (++n > max_digits) return std::nullopt;
      value = value * 10 + (text_[pos_++] - '0');
    }
    if (n == 0) return std::nullopt;
    return std::make_pair(value, n);
  }
  std::string Letters() {
    if (!SkipSpace()) return "";
    std::string out;
    while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_]))) {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
    }
    return out;
  }
  char Peek() { return SkipSpace() && pos_ < text_.size() ? text_[pos_] : '\0'; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Minutes east of UTC for a zone name (RFC 5322 4.3); military letters and
// unknown names mean "no zone information", taken as UTC.
std::optional<int> NamedZone(const std::string& name) {
  static constexpr struct {
    const char* name;
    int minutes;
  } kZones[] = {{"UT", 0},        {"GMT", 0},       {"UTC", 0},       {"EST", -5 * 60}, {"EDT", -4 * 60},
                {"CST", -6 * 60}, {"CDT", -5 * 60}, {"MST", -7 * 60}, {"MDT", -6 * 60}, {"PST", -8 * 60},
                {"PDT", -7 * 60}};
  for (const auto& z : kZones) {
    if (name == z.name) return z.minutes;
  }
  if (name.size() == 1 && name != "J") return 0;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FoldCarriedField(std::string_view name, std::string_view raw_value) {
  if (!IsFieldName(name)) return std::nullopt;
  const std::vector<std::string_view> lines = RawValueLines(raw_value);
  const std::string unfolded = Unfold(raw_value);
  std::string_view value = unfolded;
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  std::string ascii = EncodeUnsafeWords(value);

  std::string out(name);
  out += ':';
  // The field's own line breaks stay where every line fits and no continuation
  // line is blank (a reader could take that for the end of the header).
  bool keep_lines = ascii == value && out.size() + lines.front().size() <= kFoldWidth;
  for (size_t i = 1; keep_lines && i < lines.size(); ++i) {
    keep_lines = lines[i].size() <= kFoldWidth && SkipBlanks(lines[i], 0) < lines[i].size();
  }
  if (keep_lines && !lines.back().empty() && IsBlank(lines.back().back())) keep_lines = false;
  if (keep_lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) out += "\r\n";
      out.append(lines[i]);
    }
    out += "\r\n";
    return out;
  }

  // Folding before a run of blanks keeps the run: only a line break is added.
  // The value may start on a line of its own, as it often does in the block.
  if (ascii.find_first_not_of(" \t") == std::string::npos) return out + "\r\n";
  if (!IsBlank(ascii.front())) ascii = " " + ascii;
  size_t line = out.size();
  size_t pos = 0;
  while (pos < ascii.size()) {
    const size_t word_end = SkipWord(ascii, SkipBlanks(ascii, pos));
    std::string_view segment = std::string_view(ascii).substr(pos, word_end - pos);
    if (line > 0 && line + segment.size() > kFoldWidth) {
      out += "\r\n";
      line = 0;
    }
    out.append(segment);
    line += segment.size();
    if (line > kMaxLineLength) return std::nullopt;
    pos = word_end;
  }
  out += "\r\n";
  return out;
}

std::optional<int64_t> ParseDate(std::string_view text) {
  static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  DateCursor c(text);
  if (std::isalpha(static_cast<unsigned char>(c.Peek()))) {
    const std::string weekday = c.Letters();
    if (weekday.size() != 3 || !c.Take(',')) return std::nullopt;
  }
  const auto day = c.Number(2);
  const std::string month_name = c.Letters();
  const auto year = c.Number(4);
  if (!day || !year || day->first < 1 || day->first > 31) return std::nullopt;
  unsigned month = 0;
  for (unsigned i = 0; i < 12; ++i) {
    if (month_name == kMonths[i]) month = i + 1;
  }
  if (month == 0) return std::nullopt;
  int y = year->first;
  if (year->second == 2) y += y < 50 ? 2000 : 1900;  // obsolete two- and three-digit years
  if (year->second == 3) y += 1900;
  const auto hour = c.Number(2);
  if (!hour || !c.Take(':')) return std::nullopt;
  const auto minute = c.Number(2);
  if (!minute) return std::nullopt;
  int second = 0;
  if (c.Peek() == ':') {
    c.Take(':');
    const auto s = c.Number(2);
    if (!s) return std::nullopt;
    second = s->first;
  }
  if (hour->first > 23 || minute->first > 59 || second > 60) return std::nullopt;
  int zone = 0;
  const char sign = c.Peek();
  if (sign == '+' || sign == '-') {
    c.Take(sign);
    const auto hhmm = c.Number(4);
    if (!hhmm || hhmm->second != 4 || hhmm->first % 100 > 59) return std::nullopt;
    zone = (hhmm->first / 100 * 60 + hhmm->first % 100) * (sign == '-' ? -1 : 1);
  } else {
    const auto named = NamedZone(c.Letters());
    if (!named) return std::nullopt;
    zone = *named;
  }
  if (!c.AtEnd()) return std::nullopt;
  const int64_t days = DaysFromCivil(y, static_cast<int>(month), day->first);
  return days * 86400 + hour->first * 3600 + minute->first * 60 + second - zone * 60;
}

}  // namespace formats::mime
