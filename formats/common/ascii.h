// ASCII case folding for protocol tokens (charset labels, media types, header
// names, URL schemes). Only A-Z and a-z are folded, whatever the C locale says:
// these names are ASCII by definition, and bytes of UTF-8 text pass unchanged.
#pragma once

#include <string>
#include <string_view>

namespace formats {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// a and b are equal once both are folded.
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

inline bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

// Only the text is folded: lower_prefix is a constant written in lower case, so
// an upper-case letter in it never matches.
inline bool StartsWithLowered(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  for (size_t i = 0; i < lower_prefix.size(); ++i) {
    if (AsciiLower(text[i]) != lower_prefix[i]) return false;
  }
  return true;
}

}  // namespace formats
