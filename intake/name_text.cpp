#include "intake/name_text.h"

#include <algorithm>
#include <string_view>

#include "formats/common/utf8.h"

namespace intake {

std::optional<std::u32string> DecodeUtf8(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const formats::Utf8Char c = formats::DecodeUtf8At(text, i);
    if (c.length == 0) return std::nullopt;
    out.push_back(c.code_point);
    i += c.length;
  }
  return out;
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;                  // Latin-1
  if (c >= 0x100 && c <= 0x137) return c | 1;                              // Latin Extended-A
  if (c >= 0x139 && c <= 0x148) return (c & 1) != 0 ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) != 0 ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;               // Greek
  if (c == 0x3C2) return 0x3C3;                                            // final sigma
  if (c >= 0x400 && c <= 0x40F) return c + 80;                             // Cyrillic
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x460 && c <= 0x4FF && c != 0x482 && (c < 0x483 || c > 0x489) && c != 0x4C0) {
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) != 0 ? c + 1 : c;
    return c | 1;
  }
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x531 && c <= 0x556) return c + 48;                             // Armenian
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;                           // full-width Latin
  return c;
}

std::u32string FoldCase(std::u32string text) {
  for (char32_t& c : text) c = FoldCase(c);
  return text;
}

bool NameLess(const std::string& a, const std::string& b) {
  const std::optional<std::u32string> da = DecodeUtf8(a), db = DecodeUtf8(b);
  if (da && db) {
    const std::u32string fa = FoldCase(*da), fb = FoldCase(*db);
    if (fa != fb) return fa < fb;
  }
  return a < b;
}

void SortNames(std::vector<std::string>& names) {
  struct Keyed {
    std::u32string folded;
    std::string name;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) {
    std::optional<std::u32string> decoded = DecodeUtf8(name);
    keyed.push_back({decoded ? FoldCase(std::move(*decoded)) : std::u32string(), std::move(name)});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
  });
  for (size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].name);
}

namespace {

// Greedy wildcard match with one backtrack point; linear in practice, at worst
// name length times pattern length. Both sides are already case-folded.
bool MatchFolded(std::u32string_view name, std::u32string_view pattern) {
  size_t n = 0, p = 0;
  size_t star_p = std::u32string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      star_p = p++;
      star_n = n;
    } else if (star_p != std::u32string_view::npos) {
      p = star_p + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

WildcardMatcher::WildcardMatcher(const std::string& pattern) {
  // A pattern that is not UTF-8 matches what its valid part would not: nothing.
  std::optional<std::u32string> decoded = DecodeUtf8(pattern);
  folded_ = decoded ? FoldCase(std::move(*decoded)) : std::u32string(1, U'\0');
  dot_star_ = folded_.size() >= 2 && folded_.compare(folded_.size() - 2, 2, U".*") == 0;
}

bool WildcardMatcher::Matches(const std::string& name) const {
  const std::optional<std::u32string> decoded = DecodeUtf8(name);
  if (!decoded) return false;
  const std::u32string folded = FoldCase(*decoded);
  if (MatchFolded(folded, folded_)) return true;
  // Windows lets a trailing ".*" match an empty extension without its dot.
  return dot_star_ && MatchFolded(folded, std::u32string_view(folded_).substr(0, folded_.size() - 2));
}

}  // namespace intake
