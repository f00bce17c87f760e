#include "face_win32/skin_colours.h"

#include <cctype>
#include <string>
#include <vector>

namespace face_win32 {
namespace {

struct Rule {
  std::string selectors;
  std::string body;
};

std::string Trimmed(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string WithoutComments(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "/*") == 0) {
      const size_t close = text.find("*/", i + 2);
      if (close == std::string_view::npos) break;
      i = close + 1;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::vector<Rule> Rules(std::string_view text) {
  std::vector<Rule> rules;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('{', at);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('}', open);
    if (close == std::string_view::npos) break;
    rules.push_back({Trimmed(text.substr(at, open - at)), std::string(text.substr(open + 1, close - open - 1))});
    at = close + 1;
  }
  return rules;
}

// True when one of the comma-separated selectors is exactly `wanted`, or,
// for a wanted "#Name", ends in it.
bool HasSelector(const std::string& selectors, std::string_view wanted) {
  size_t at = 0;
  while (at <= selectors.size()) {
    size_t comma = selectors.find(',', at);
    if (comma == std::string::npos) comma = selectors.size();
    const std::string one = Trimmed(std::string_view(selectors).substr(at, comma - at));
    if (one == wanted) return true;
    if (wanted.front() == '#' && one.size() > wanted.size() &&
        one.compare(one.size() - wanted.size(), wanted.size(), wanted) == 0) {
      return true;
    }
    at = comma + 1;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<COLORREF> ParseColour(const std::string& value) {
  if (value.size() != 4 && value.size() != 7) return std::nullopt;
  if (value[0] != '#') return std::nullopt;
  int digits[6];
  for (size_t i = 1; i < value.size(); ++i) {
    digits[i - 1] = HexDigit(value[i]);
    if (digits[i - 1] < 0) return std::nullopt;
  }
  if (value.size() == 4) {
    return RGB(digits[0] * 17, digits[1] * 17, digits[2] * 17);
  }
  return RGB(digits[0] * 16 + digits[1], digits[2] * 16 + digits[3], digits[4] * 16 + digits[5]);
}

// The colour of `property` in a rule's body (the last one given wins).
std::optional<COLORREF> Property(const std::string& body, std::string_view property) {
  std::optional<COLORREF> found;
  size_t at = 0;
  while (at < body.size()) {
    size_t end = body.find(';', at);
    if (end == std::string::npos) end = body.size();
    const std::string declaration = body.substr(at, end - at);
    const size_t colon = declaration.find(':');
    if (colon != std::string::npos && Trimmed(std::string_view(declaration).substr(0, colon)) == property) {
      if (auto colour = ParseColour(Trimmed(std::string_view(declaration).substr(colon + 1)))) found = colour;
    }
    at = end + 1;
  }
  return found;
}

std::optional<COLORREF> Find(const std::vector<Rule>& rules, std::string_view selector,
                             std::string_view property) {
  std::optional<COLORREF> found;
  for (const Rule& rule : rules) {
    if (!HasSelector(rule.selectors, selector)) continue;
    if (auto colour = Property(rule.body, property)) found = colour;
  }
  return found;
}

}  // namespace

SkinColours ParseSkinColours(std::string_view style_sheet) {
  const std::vector<Rule> rules = Rules(WithoutComments(style_sheet));
  SkinColours colours;
  colours.background = Find(rules, "#Form1", "background-color");
  if (!colours.background) colours.background = Find(rules, "#Form1", "background");
  for (std::string_view selector : {"QGroupBox", "QRadioButton", "#Form1"}) {
    colours.text = Find(rules, selector, "color");
    if (colours.text) break;
  }
  return colours;
}

}  // namespace face_win32
