// File names as text: UTF-8 decoded into code points, compared without regard
// to letter case the way the folder listings sort and match them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace intake {

// The code points of UTF-8 text, or nullopt when it is not valid UTF-8
// (overlong forms, surrogates and values beyond U+10FFFF are invalid).
std::optional<std::u32string> DecodeUtf8(const std::string& text);

// The simple case folding of one code point for the scripts file names use
// most: Latin (with Latin-1 and Latin Extended-A), Greek, Cyrillic, Armenian
// and the full-width Latin letters. Scripts without case stay as they are.
char32_t FoldCase(char32_t c);
std::u32string FoldCase(std::u32string text);

// Names in the order Windows file systems enumerate them: case-insensitive
// first, then exact (byte order of the UTF-8 text).
bool NameLess(const std::string& a, const std::string& b);
// Sorts by NameLess, folding each name once.
void SortNames(std::vector<std::string>& names);

// A Windows wildcard, folded once for many names (MatchesWildcard's rules).
class WildcardMatcher {
 public:
  explicit WildcardMatcher(const std::string& pattern);
  // False for a name that is not valid UTF-8.
  bool Matches(const std::string& name) const;

 private:
  std::u32string folded_;
  bool dot_star_ = false;
};

}  // namespace intake
