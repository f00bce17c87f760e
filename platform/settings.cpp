#include "platform/settings.h"

#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "platform/error_report.h"

namespace platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool EqualsIgnoringCase(const std::string& text, const char* word) {
  size_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char w = word[i];
    if (w >= 'A' && w <= 'Z') w = static_cast<char>(w - 'A' + 'a');
    if (c != w) return false;
  }
  return i == text.size();
}

// A decimal number in the C locale ("1", "-1", "0.5", "1e3"), the whole text.
bool ParseNumber(const std::string& text, double& number) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    if (!allowed) return false;  // no hex, no "inf", no "nan"
  }
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> number;
  return !in.fail() && in.peek() == std::char_traits<char>::eof();
}

}  // namespace

bool ToBoolean(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const std::string word = text.substr(begin, end - begin);
  if (EqualsIgnoringCase(word, "True")) return true;
  if (EqualsIgnoringCase(word, "False")) return false;
  double number = 0;
  if (!ParseNumber(word, number) || !std::isfinite(number)) throw Failure("Type mismatch");
  return number != 0;
}

std::string FromBoolean(bool value) { return value ? "True" : "False"; }

bool GetBoolSetting(SettingsStore& store, const std::string& key, bool default_value) {
  return ToBoolean(store.GetSetting(key, default_value ? "1" : "0"));
}

}  // namespace platform
